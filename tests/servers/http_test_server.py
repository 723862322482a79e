"""A small HTTP server for download tests: well-behaved answers and the faults a real download
host can show. Listens on 127.0.0.1 on a free port, prints the port, serves until killed.

Paths:
  /ok/N                 N bytes of the test pattern, with their length
  /slow/N/CHUNK/MS      the same, CHUNK bytes at a time, MS milliseconds apart
  /nolength/N           N bytes, no length announced, connection closed at the end
  /status/CODE          that status, with a short page and its length
  /short/N/SENT         announces N bytes, sends SENT of them and closes
  /reset/N/SENT         announces N bytes, sends SENT of them and resets the connection
  /stall/N/SENT         announces N bytes, sends SENT of them and goes silent
  /huge                 announces 3 GiB and sends nothing
  /twolengths/A/B       two Content-Length headers, A then B, and B bytes
  /loop                 redirects to itself, for ever
  /bigheader/N          a header line of N bytes before the answer
  /http09/N             N bytes with no status line or headers at all
  /toftp/N              redirects to an FTP server of its own that serves N bytes
  /to09/N               redirects to /http09/N

    python3 http_test_server.py [PORT [PACKAGE_ROUTE]]

With PACKAGE_ROUTE (such as slow/400000/2048/20), /download/T6.zip answers like that route.
"""

import http.server
import socket
import socketserver
import struct
import sys
import threading
import time


def pattern(n):
    """Byte i of every answer is (i * 7 + i // 251) mod 256: no period a wrong offset could hide in."""
    return bytes((i * 7 + i // 251) % 256 for i in range(n))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def headers_for(self, length, status=200):
        self.send_response(status)
        self.send_header("Content-Type", "application/zip")
        if length is not None:
            self.send_header("Content-Length", str(length))
        else:
            self.send_header("Connection", "close")
        self.end_headers()

    package_route = None

    def do_GET(self):
        path = self.path
        if path == "/download/T6.zip" and self.package_route:
            path = "/" + self.package_route
        parts = path.strip("/").split("/")
        kind, numbers = parts[0], [int(p) for p in parts[1:] if p.isdigit()]
        try:
            if kind == "ok":
                self.headers_for(numbers[0])
                self.wfile.write(pattern(numbers[0]))
            elif kind == "slow":
                total, chunk, pause = numbers
                self.headers_for(total)
                data = pattern(total)
                for start in range(0, total, chunk):
                    self.wfile.write(data[start:start + chunk])
                    self.wfile.flush()
                    time.sleep(pause / 1000)
            elif kind == "nolength":
                self.headers_for(None)
                self.wfile.write(pattern(numbers[0]))
                self.close_connection = True
            elif kind == "status":
                body = f"<html><body>status {numbers[0]}</body></html>".encode()
                self.headers_for(len(body), numbers[0])
                self.wfile.write(body)
            elif kind in ("short", "reset", "stall"):
                total, sent = numbers
                self.headers_for(total)
                self.wfile.write(pattern(sent))
                self.wfile.flush()
                if kind == "reset":
                    self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                elif kind == "stall":
                    time.sleep(120)
                self.close_connection = True
                self.connection.close()
            elif kind == "twolengths":
                first, second = numbers
                self.send_response(200)
                self.send_header("Content-Length", str(first))
                self.send_header("Content-Length", str(second))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(pattern(second))
                self.close_connection = True
            elif kind == "loop":
                self.send_response(302)
                self.send_header("Location", "/loop")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif kind == "bigheader":
                self.send_response(200)
                self.send_header("X-Filler", "x" * numbers[0])
                self.send_header("Content-Length", "10")
                self.end_headers()
                self.wfile.write(pattern(10))
            elif kind == "http09":
                self.wfile.write(pattern(numbers[0]))
                self.close_connection = True
            elif kind == "to09":
                self.send_response(302)
                self.send_header("Location", f"/http09/{numbers[0]}")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif kind == "toftp":
                port = FtpServer.start(pattern(numbers[0]))
                self.send_response(302)
                self.send_header("Location", f"ftp://127.0.0.1:{port}/T6.zip")
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif kind == "huge":
                self.headers_for(3 * 1024 ** 3)
                self.wfile.flush()
                time.sleep(30)
                self.close_connection = True
            else:
                self.send_error(404)
        except (BrokenPipeError, ConnectionResetError):
            pass


class FtpServer:
    """Just enough of an anonymous FTP server for one passive download of a fixed file."""

    @staticmethod
    def start(data):
        listener = socket.create_server(("127.0.0.1", 0))
        listener.settimeout(10)  # a client that never comes (the redirect was refused) ends it
        threading.Thread(target=FtpServer.serve, args=(listener, data), daemon=True).start()
        return listener.getsockname()[1]

    @staticmethod
    def serve(listener, data):
        try:
            control, _ = listener.accept()
        except socket.timeout:
            listener.close()
            return
        control.settimeout(10)
        reader = control.makefile("rb")
        control.sendall(b"220 ready\r\n")
        for raw in reader:
            command = raw.decode("latin-1").strip().split(" ")[0].upper()
            if command in ("EPSV", "PASV"):
                passive = socket.create_server(("127.0.0.1", 0))
                port = passive.getsockname()[1]
                if command == "EPSV":
                    control.sendall(f"229 passive (|||{port}|)\r\n".encode())
                else:
                    control.sendall(f"227 passive (127,0,0,1,{port // 256},{port % 256})\r\n".encode())
            elif command == "SIZE":
                control.sendall(f"213 {len(data)}\r\n".encode())
            elif command == "RETR":
                control.sendall(b"150 sending\r\n")
                channel, _ = passive.accept()
                channel.sendall(data)
                channel.close()
                control.sendall(b"226 done\r\n")
            elif command == "QUIT":
                control.sendall(b"221 bye\r\n")
                break
            else:
                replies = {"USER": "331 password", "PASS": "230 in", "PWD": '257 "/"', "TYPE": "200 ok", "CWD": "250 ok"}
                control.sendall((replies.get(command, "200 ok") + "\r\n").encode())
        control.close()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    Handler.package_route = sys.argv[2] if len(sys.argv) > 2 else None
    server = Server(("127.0.0.1", int(sys.argv[1]) if len(sys.argv) > 1 else 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
