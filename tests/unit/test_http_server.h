// The download test server (tests/servers/http_test_server.py), started for one test.
#pragma once

#include <sys/types.h>

#include <string>

class TestHttpServer {
 public:
  TestHttpServer();
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  std::wstring Url(const std::string& path) const;
  int Port() const { return m_port; }

 private:
  pid_t m_pid = -1;
  int m_port = 0;
};

// Byte i of every test answer.
inline unsigned char TestPatternByte(std::size_t i) { return static_cast<unsigned char>((i * 7 + i / 251) % 256); }
