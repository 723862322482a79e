// Host platform: the print spooler's state in the emulated registry.
#pragma once

namespace host {

// Writes what a Windows machine has from its first start: the built-in forms and, when
// machine.ini names one, the default printer (recorded as the user's default). Leaves whatever
// is already there; safe to call again.
void PrepareSpooler();

}  // namespace host
