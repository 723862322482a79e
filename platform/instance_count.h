// Platform layer: the instance count that every process of one program file shares.
#pragma once

#include "windows_types.h"

// Reads the shared count and increases it by one; returns the value read. The count belongs to
// the program file: a copy stored as another file has its own, and it is zero again once no
// process of the file runs.
LONG ReadAndIncrementInstanceCount();
