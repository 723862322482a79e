// t6-reg: reads and changes the registry of the emulated machine that T6_HOST_ROOT names.
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/emulated_machine.h"
#include "reg_command.h"

int main(int argc, char** argv) {
  std::string error;
  if (!host::LoadEmulatedMachine(error)) {
    std::cerr << error << "\n";
    return 1;
  }
  return t6reg::RunRegCommand(std::vector<std::string>(argv + 1, argv + argc), std::cin, std::cout, std::cerr);
}
