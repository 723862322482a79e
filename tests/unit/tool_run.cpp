#include "tool_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

ToolRun RunProgram(const TestMachine& machine, const std::string& program, const std::vector<std::string>& args,
                   const std::string& input, const std::string& environment) {
  const std::string in = machine.Root() + "/tool.in", out = machine.Root() + "/tool.out",
                    err = machine.Root() + "/tool.err";
  std::ofstream(in, std::ios::binary) << input;
  std::string command = environment + " " + Quoted(program);
  for (const std::string& arg : args) command += " " + Quoted(arg);
  command += " <" + Quoted(in) + " >" + Quoted(out) + " 2>" + Quoted(err);
  ToolRun run;
  int status = std::system(command.c_str());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

ToolRun RunTool(const TestMachine& machine, const std::vector<std::string>& args, const std::string& input,
                const std::string& environment) {
  return RunProgram(machine, T6_REG_EXE, args, input, environment);
}
