// Package extraction: every entry of the zip package, deciphered with the package password,
// into the install folder, with one progress report per file entry.
#pragma once

#include <string>

#include "app/dialog_state.h"
#include "unzip.h"

inline constexpr const char* kPackagePassword = "q7Lm2xVr9TzK4";

// Extracts the archive at archivePath (a Windows path) into folder. progress may be null: then
// nothing is reported and no stop request is read. True when every entry was extracted, when
// the archive has none, or when a stop request ended the walk; false when the archive can't be
// opened or an entry fails (its reason then in progress's failure fields).
bool ExtractPackage(const std::wstring& folder, const std::wstring& archivePath, ExtractContext* progress);

// Extracts the entry at the archive's current position into folder (which ends with "\").
// True when the entry was written or needed no file; false on any failure.
bool ExtractCurrentEntry(unzFile archive, const std::wstring& folder, ExtractContext* progress);
