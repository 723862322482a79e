// The program's entry: the one application object, then everything happens in it.
#include "app/installer_app.h"

CInternetInstallerApp theApp;

#ifndef _WIN32
// On Windows the platform layer's wWinMain is the entry.
int main(int argc, char** argv) { return RunApplication(argc, argv); }
#endif
