// Printer paper forms: the default printer's name and the user forms defined through it.
#pragma once

#include <string>

#include "platform/windows_types.h"

// The default printer's device name, at most 127 characters; empty when there is none.
void FindDefaultPrinter(std::wstring& printerName);

// Updates form `formName` to the given sheet, or adds it when it cannot be updated. Sizes are
// in tenths of a millimetre; the imageable area is the sheet less the margins. True when the
// form was updated or added.
bool AddPaperForm(const std::wstring& formName, const std::wstring& printerName, LONG width, LONG height,
                  LONG leftMargin, LONG topMargin, LONG rightMargin, LONG bottomMargin);
