// Win32 platform: the archive dependency opens the package itself.
#include "platform/archive_files.h"

// minizip's own file functions (the runtime library's file streams) take the ANSI path as the
// system does.
zlib_filefunc64_def* PackageFileFunctions() { return nullptr; }
