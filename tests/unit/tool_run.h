// Runs a program on the test's machine (T6_HOST_ROOT names it) and collects what it printed.
#pragma once

#include <string>
#include <vector>

#include "test_machine.h"

struct ToolRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path);
// The word quoted for the shell.
std::string Quoted(const std::string& word);

// `input` is what the console would answer; `environment` goes before the command ("A=1 B=2").
ToolRun RunProgram(const TestMachine& machine, const std::string& program, const std::vector<std::string>& args,
                   const std::string& input = "", const std::string& environment = "");
// The real t6-reg.
ToolRun RunTool(const TestMachine& machine, const std::vector<std::string>& args, const std::string& input = "",
                const std::string& environment = "");
