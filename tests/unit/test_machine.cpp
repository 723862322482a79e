#include "test_machine.h"

#include <stdlib.h>

#include <filesystem>

TestMachine::TestMachine(const std::string& iniText) {
  char pattern[] = "/tmp/t6-machine-XXXXXX";
  const char* made = mkdtemp(pattern);
  if (!made) throw std::runtime_error("mkdtemp failed");
  m_root = made;
  std::filesystem::create_directories(m_root + "/drive_c");
  host::MachineDescription description;
  if (!iniText.empty()) {
    std::string error;
    if (!host::ParseMachineDescription(iniText, m_root + "/machine.ini", description, error))
      throw std::runtime_error(error);
  }
  setenv("T6_HOST_ROOT", m_root.c_str(), 1);
  host::UseEmulatedMachine(m_root, description);
}

TestMachine::~TestMachine() {
  std::error_code ignored;
  std::filesystem::remove_all(m_root, ignored);
}

std::string TestMachine::HostPath(const std::wstring& windowsPath) const {
  return host::HostPathFromWindows(windowsPath).value_or("");
}
