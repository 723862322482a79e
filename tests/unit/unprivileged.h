// Runs part of a test as an ordinary user, so that file modes bind: these tests run as root,
// for whom a read-only folder or database is writable all the same.
#pragma once

#include <functional>

// Runs body in a child process that has given up root (it becomes "nobody") and returns the
// child's result, or -1 when it could not be run. The child sees the parent's memory as it was,
// the emulated machine included; what it writes to disk the parent sees afterwards.
int RunUnprivileged(const std::function<int()>& body);
