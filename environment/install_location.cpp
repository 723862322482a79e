// The install location.
#include "install_location.h"

std::wstring InstallFolderFromChosen(const std::wstring& chosen) {
  std::wstring folder = chosen;
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  if (folder.find(L"Tessaly") == std::wstring::npos) folder += L"Tessaly\\";
  return folder;
}
