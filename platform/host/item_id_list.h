// Host platform: what an item identifier list stands for here: one folder of the machine.
#pragma once

#include <string>

struct ITEMIDLIST {
  std::string hostPath;
};
