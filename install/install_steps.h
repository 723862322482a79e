// The installation worker: the extraction of the package, then the install steps.
#pragma once

#include "platform/windows_types.h"

// The thread procedure started by the download's completion report; its parameter is the
// installer dialog. Extracts the package (ExtractStep), then runs the install steps, which end
// with the completion report. A failed extraction runs no step and reports kExtractFailed; a
// stop request ends the worker without steps and without a report. Returns 0.
UINT InstallThreadProc(LPVOID param);
