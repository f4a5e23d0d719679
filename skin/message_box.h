#pragma once
// The program's message box: the system's box, with its buttons captioned
// from the caller's string table (the program's own "Yes", "No", ...).
#include <windows.h>

#include <string>

namespace qlx::skin {

// String-table numbers of the button captions, by button.
struct ButtonCaptionIds {
    UINT ok = 0, cancel = 0, no = 0, ignore = 0, retry = 0, abort = 0, tryAgain = 0, continueId = 0,
         yes = 0;
};

// Sets where button captions come from (module and string numbers).
void SetMessageBoxCaptions(HINSTANCE strings, const ButtonCaptionIds& ids);

// As MessageBoxA; returns the button pressed (IDYES, IDNO, ...).
int SkinMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);

// A string from the string table ("" when missing).
std::string LoadString(HINSTANCE module, UINT id);

} // namespace qlx::skin
