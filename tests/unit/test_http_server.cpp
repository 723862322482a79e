#include "test_http_server.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

TestHttpServer::TestHttpServer() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  m_pid = fork();
  if (m_pid == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    execlp("python3", "python3", T6_TEST_SERVER, static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  FILE* out = fdopen(pipeFds[0], "r");
  if (!out || std::fscanf(out, "%d", &m_port) != 1) throw std::runtime_error("the test server did not start");
  std::fclose(out);
}

TestHttpServer::~TestHttpServer() {
  if (m_pid > 0) {
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
  }
}

std::wstring TestHttpServer::Url(const std::string& path) const {
  const std::string url = "http://127.0.0.1:" + std::to_string(m_port) + path;
  return std::wstring(url.begin(), url.end());
}
