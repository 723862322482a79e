// The application object: single-instance guard, then the installer dialog, run modally.
#pragma once

#include "platform/framework.h"

class CInternetInstallerApp : public CWinApp {
 public:
  // Always FALSE: the process ends when the dialog (or the refusal) is done.
  BOOL InitInstance() override;
};

// The one application object is defined next to the program's entry (main.cpp), so that the
// linker always keeps it.
extern CInternetInstallerApp theApp;
