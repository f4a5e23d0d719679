#pragma once
// Owner-drawn push buttons: they stay ordinary buttons with their texts
// (screen readers and tests read them); only their faces come from the skin.
#include <windows.h>

#include <commctrl.h>

#include "skin/skin_bitmap.h"

namespace qlx::skin {

// Makes `button` owner-drawn from `faces` (normal, hot, pressed, disabled
// cells). With `drawText` the button's text is drawn over the face; icon
// buttons keep their text for readers only. The caller keeps `faces` alive.
void MakeImageButton(HWND button, HIMAGELIST faces, bool drawText);
void SetButtonFaces(HWND button, HIMAGELIST faces);
// Art reloaded at another DPI: every button under `window`, pages included,
// that draws from `faces` draws from `fresh` instead, and the old list goes
// once nothing draws from it.
void ReloadFaces(HWND window, ImageListOwner& faces, HIMAGELIST fresh);
// Paints an image button for its parent's WM_DRAWITEM; false if `item` is
// not one.
bool DrawImageButton(const DRAWITEMSTRUCT& item);

} // namespace qlx::skin
