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

    python3 http_test_server.py [PORT [PACKAGE_ROUTE]]

With PACKAGE_ROUTE (such as slow/400000/2048/20), /download/T6.zip answers like that route.
"""

import http.server
import socket
import socketserver
import struct
import sys
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
            elif kind == "huge":
                self.headers_for(3 * 1024 ** 3)
                self.wfile.flush()
                time.sleep(30)
                self.close_connection = True
            else:
                self.send_error(404)
        except (BrokenPipeError, ConnectionResetError):
            pass


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    Handler.package_route = sys.argv[2] if len(sys.argv) > 2 else None
    server = Server(("127.0.0.1", int(sys.argv[1]) if len(sys.argv) > 1 else 0), Handler)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
