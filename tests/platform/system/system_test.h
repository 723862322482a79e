// The platform tests that need no web view: the same cases run against the host platform (on a
// fresh emulated 64-bit machine) and, built for Windows, under Wine on its real calls.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/windows_types.h"

// The program plays a 32-bit process: the host build always does (it emulates the shipped
// program), a Windows build when it is one.
#ifdef _WIN32
constexpr bool kThirtyTwoBitProcess = sizeof(void*) == 4;
#else
constexpr bool kThirtyTwoBitProcess = true;
#endif

class TestMachine;

// True when the program runs under Wine rather than Windows (or the host).
bool RunsUnderWine();
// Reports, for the log, a case where Wine answers otherwise than the documentation says.
void NoteWineGap(const std::string& what);

class SystemTest : public testing::Test {
 protected:
  SystemTest();
  ~SystemTest() override;

  // A new, empty folder for this test, as a Windows path ending in a backslash.
  const std::wstring& Folder() const { return m_folder; }
  // The bytes of a file, or nullopt-like "<missing>" when it cannot be read.
  std::string ReadWholeFile(const std::wstring& windowsPath) const;

 private:
  std::unique_ptr<TestMachine> m_machine;  // host only
  std::wstring m_folder;
};

// A number new in every call and every run: keeps names apart in a registry or prefix that
// outlives one run.
std::wstring UniqueSuffix();

// The test program's own file, and one run of it with an argument: its exit status, or -1.
std::wstring TestProgramPath();
int RunProgram(const std::wstring& programPath, const std::string& argument);
// Copies the test program to another file; false if it cannot.
bool CopyTestProgram(const std::wstring& to);
