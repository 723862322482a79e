// Platform layer: how the archive dependency reaches the package file.
#pragma once

#include "ioapi.h"

// The file functions to hand to unzOpen2_64 with the package's 8-bit path in the ANSI code
// page. Null on Windows: minizip's defaults, the runtime library's file streams, open that path
// themselves. The host maps the path onto the emulated machine's drives.
zlib_filefunc64_def* PackageFileFunctions();
