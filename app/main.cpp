// The program's entry: the one application object, then everything happens in it.
#include "app/installer_app.h"

CInternetInstallerApp theApp;

int main(int argc, char** argv) { return RunApplication(argc, argv); }
