// Deleting an installed copy's files: counting them, deleting a folder file by file with a
// report per file, and deleting one path through the shell.
#pragma once

#include <string>

#include "app/dialog_state.h"

// The files below folder (with or without a trailing backslash), in every subfolder. Links to
// folders are neither counted nor followed; a folder that cannot be searched counts 0.
LONG CountFiles(const std::wstring& folder);

// Deletes every file below folder and then the emptied folders, the folder itself last; links
// are removed, never followed, so nothing outside folder is touched. With a record, each file
// handled (deleted or not) adds 1 to nProgress, sets strFileName and is reported synchronously
// to hWnd (code 6); when no report has reached 100 % by the end of the walk (no files, or fewer
// than counted), one more report gives 100 %, so that the dialog always moves on. Once the
// dialog has ended nothing more is written to the record.
void DeleteTree(std::wstring folder, WorkerContext* record);

// Deletes a file or a folder with its contents, silently and for good; false for a null path,
// one of MAX_PATH characters or more, or one the shell could not delete.
bool DeletePath(LPCWSTR path);
