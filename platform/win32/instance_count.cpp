// Win32 platform: the instance count in a data section that every process of the program file
// shares.
#include "platform/instance_count.h"

// The section "Shared" is initialised, readable, writable and shared: the loader maps one copy
// of it into every process started from this program file, and discards it when the last one
// ends, so the next start reads the 0 stored in the file again.
__attribute__((section("Shared"), shared)) volatile LONG g_nInstanceCount = 0;

LONG ReadAndIncrementInstanceCount() { return InterlockedExchangeAdd(&g_nInstanceCount, 1); }
