// The emulated machine's description (machine.ini) and its drive mapping.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/host/emulated_machine.h"
#include "test_machine.h"

namespace {

TEST(MachineDescription, FullFileIsRead) {
  const std::string ini =
      "[windows]\n"
      "major = 6            ; dwMajorVersion\n"
      "minor = 1\n"
      "product_type = 3\n"
      "platform_id = 2\n"
      "server_r2 = 1\n"
      "processor_architecture = 0\n"
      "version_query_fails = 1\n"
      "[drive.c]\n"
      "free_bytes = 53687091200\n"
      "[Drive.D]\n"
      "free_bytes = 0\n"
      "[printer]\n"
      "default = Office Printer\n"
      "[folders]\n"
      "common_desktop = 0\n"
      "common_programs = 0\n";
  host::MachineDescription machine;
  std::string error;
  ASSERT_TRUE(host::ParseMachineDescription(ini, "machine.ini", machine, error)) << error;
  EXPECT_EQ(6u, machine.major);
  EXPECT_EQ(1u, machine.minor);
  EXPECT_EQ(3u, machine.productType);
  EXPECT_EQ(1u, machine.serverR2);
  EXPECT_EQ(0u, machine.processorArchitecture);
  EXPECT_TRUE(machine.versionQueryFails);
  EXPECT_EQ(53687091200ull, machine.freeBytes.at('c'));
  EXPECT_EQ(0ull, machine.freeBytes.at('d'));
  EXPECT_EQ("Office Printer", machine.defaultPrinter);
  EXPECT_FALSE(machine.commonDesktop);
  EXPECT_FALSE(machine.commonPrograms);
}

TEST(MachineDescription, EmptyFileIsA64BitWindows10WorkstationWithoutPrinter) {
  host::MachineDescription machine;
  std::string error;
  ASSERT_TRUE(host::ParseMachineDescription("; nothing\n\n", "machine.ini", machine, error));
  EXPECT_EQ(10u, machine.major);
  EXPECT_EQ(0u, machine.minor);
  EXPECT_EQ(1u, machine.productType);
  EXPECT_EQ(9u, machine.processorArchitecture);
  EXPECT_TRUE(machine.freeBytes.empty());
  EXPECT_TRUE(machine.defaultPrinter.empty());
  EXPECT_TRUE(machine.commonDesktop);
  EXPECT_TRUE(machine.commonPrograms);
}

TEST(MachineDescription, MalformedLinesAreNamedByFileAndLine) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"[windows]\nmajor = ten\n", "m.ini:2: 'major' needs a whole number"},
      {"[windows]\nmajor = -1\n", "m.ini:2: 'major' needs a whole number"},
      {"[windows]\n\nmajr = 10\n", "m.ini:3: unknown key 'majr' in [windows]"},
      {"major = 10\n", "m.ini:1: key 'major' outside any section"},
      {"[windows\n", "m.ini:1: a section header needs the form [name]"},
      {"[network]\n", "m.ini:1: unknown section [network]"},
      {"[drive.c]\nfree_bytes = 12GB\n", "m.ini:2: 'free_bytes' needs a whole number of bytes"},
      {"[windows]\njust words\n", "m.ini:2: expected 'key = value'"},
      {"[windows]\nversion_query_fails = yes\n", "m.ini:2: 'version_query_fails' needs 0 or 1"},
      {"[folders]\ncommon_desktop = no\n", "m.ini:2: 'common_desktop' needs 0 or 1"},
      {"[folders]\ncommon_startup = 0\n", "m.ini:2: unknown key 'common_startup' in [folders]"},
      {"[printer]\ndefault = Office,Printer\n", "m.ini:2: a printer name cannot hold ',' or '\\'"},
      {"[printer]\ndefault = \\\\server\\Printer\n", "m.ini:2: a printer name cannot hold"},
  };
  for (const auto& c : cases) {
    host::MachineDescription machine;
    std::string error;
    EXPECT_FALSE(host::ParseMachineDescription(c.text, "m.ini", machine, error)) << c.text;
    EXPECT_EQ(0u, error.find(c.error)) << "got: " << error;
  }
}

TEST(MachineDescription, LoadingRefusesAMissingRootAndReportsTheIniFile) {
  TestMachine machine;
  std::ofstream(machine.Root() + "/machine.ini") << "[windows]\nmajor = x\n";
  std::string error;
  EXPECT_FALSE(host::LoadEmulatedMachine(error));
  EXPECT_EQ(machine.Root() + "/machine.ini:2: 'major' needs a whole number from 0 to 4294967295", error);

  setenv("T6_HOST_ROOT", (machine.Root() + "/missing").c_str(), 1);
  EXPECT_FALSE(host::LoadEmulatedMachine(error));
  EXPECT_NE(std::string::npos, error.find("does not exist"));
}

TEST(MachineDescription, CommentsStartOnlyAtALineStartOrAfterWhiteSpace) {
  host::MachineDescription machine;
  std::string error;
  ASSERT_TRUE(host::ParseMachineDescription("# machine\n[windows]\nmajor = 6 ;six\nminor = 1\t# one\n"
                                            "[printer]\ndefault = HP #2;A4  ; the office printer\n",
                                            "m.ini", machine, error))
      << error;
  EXPECT_EQ(6u, machine.major);
  EXPECT_EQ(1u, machine.minor);
  EXPECT_EQ("HP #2;A4", machine.defaultPrinter);
}

TEST(MachineDescription, OnlyAMissingIniFileCountsAsAbsent) {
  TestMachine machine;
  const std::string ini = machine.Root() + "/machine.ini";
  std::string error;
  EXPECT_TRUE(host::LoadEmulatedMachine(error)) << error;
  // A folder, a pipe (which must not hold the start) and a link to nothing all stop the start.
  const std::function<void()> makers[] = {
      [&] { std::filesystem::create_directory(ini); },
      [&] { ASSERT_EQ(0, mkfifo(ini.c_str(), 0644)); },
      [&] { std::filesystem::create_symlink(machine.Root() + "/elsewhere.ini", ini); },
  };
  for (const auto& make : makers) {
    std::filesystem::remove_all(ini);
    make();
    error.clear();
    EXPECT_FALSE(host::LoadEmulatedMachine(error));
    EXPECT_EQ(0u, error.find(ini + ": cannot be read")) << error;
  }
}

TEST(MachineDescription, ARelativeRootIsMadeAbsoluteAtLoad) {
  TestMachine machine;
  const std::string cwd = std::filesystem::current_path();
  std::filesystem::current_path(machine.Root());
  setenv("T6_HOST_ROOT", ".", 1);
  std::string error;
  const bool loaded = host::LoadEmulatedMachine(error);
  std::filesystem::current_path(cwd);
  ASSERT_TRUE(loaded) << error;
  EXPECT_EQ(std::filesystem::canonical(machine.Root()).string(), host::MachineRoot());
  // Paths stay on the machine after the working folder has changed.
  EXPECT_EQ(std::filesystem::canonical(machine.Root()).string() + "/drive_c/x", host::HostPathFromWindows(L"C:\\x").value());
}

TEST(DriveMapping, WindowsPathsMapIntoDriveFoldersWithoutRegardToCase) {
  TestMachine machine;
  std::filesystem::create_directories(machine.Root() + "/drive_c/Program Files (x86)/Tessaly");
  EXPECT_EQ(machine.Root() + "/drive_c/Program Files (x86)/Tessaly/T6",
            host::HostPathFromWindows(L"C:\\PROGRAM FILES (X86)\\tessaly\\T6\\").value());
  EXPECT_EQ(machine.Root() + "/drive_d/x", host::HostPathFromWindows(L"d:\\x").value());
  EXPECT_EQ(machine.Root() + "/drive_c/a", host::HostPathFromWindows(L"c:\\a\\b\\..").value());
  EXPECT_FALSE(host::HostPathFromWindows(L"\\\\server\\share").has_value());
  EXPECT_FALSE(host::HostPathFromWindows(L"relative\\path").has_value());
  EXPECT_EQ(L"C:\\Program Files (x86)\\Tessaly",
            host::WindowsPathFromHost(machine.Root() + "/drive_c/Program Files (x86)/Tessaly").value());
  EXPECT_FALSE(host::WindowsPathFromHost("/etc/passwd").has_value());
}

}  // namespace
