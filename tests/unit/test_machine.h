// A fresh emulated machine for one test: a temporary folder that T6_HOST_ROOT names, removed
// again at the end of the test.
#pragma once

#include <string>

#include "platform/host/emulated_machine.h"

class TestMachine {
 public:
  // Creates the folder with drive_c and, when iniText is given, machine.ini; loads it.
  explicit TestMachine(const std::string& iniText = {});
  ~TestMachine();
  TestMachine(const TestMachine&) = delete;
  TestMachine& operator=(const TestMachine&) = delete;

  const std::string& Root() const { return m_root; }
  // Host path of a Windows path on this machine.
  std::string HostPath(const std::wstring& windowsPath) const;

 private:
  std::string m_root;
};
