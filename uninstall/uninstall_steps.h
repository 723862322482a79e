// The uninstall: undoing an installation from its record (the dialog's RunUninstall) and the
// deletion worker that removes the product folder.
#pragma once

#include "platform/windows_types.h"

// The deletion worker: deletes the folder strInstallDir of the WorkerContext it is given,
// reporting each file to the dialog. Returns 0.
UINT DeleteThreadProc(LPVOID param);
