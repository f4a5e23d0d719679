#pragma once
// What screen readers read of a control through MSAA, where the system's
// description falls short: a name for a field that follows a check box
// rather than a label, the pressed state of a toggle, the items of a tab
// strip drawn as buttons. The control answers WM_GETOBJECT with the
// system's own object for it, with these parts put right.
#include <windows.h>

#include <string>

namespace qlx::skin {

// The name read for `control` instead of its window text.
void SetAccessibleName(HWND control, const std::string& name);
// `control` is a toggle; it reads as "pressed" or "not pressed".
void SetAccessiblePressed(HWND control, bool pressed);
// A tab strip's items read as children: named by their texts, with item
// `item` of a toggle strip pressed or not, and clicked by a reader's
// default action.
void SetAccessibleItemPressed(HWND tab, int item, bool pressed);

} // namespace qlx::skin
