#pragma once
// `CMiniBar`: the small always-on-top bar (dialog 106) with buttons for the
// main window, the last pop-up, the blocking switch, the menu, compacting
// and closing. Owned by the main window; commands go to it.
#include <windows.h>

#include <array>
#include <mutex>

#include "skin/skin_bitmap.h"
#include "skin/skinned_dialog.h"
#include "skin/tip.h"

namespace qlx::tray {

class CSettings;

class CMiniBar final : public skin::SkinnedDialog {
public:
    CMiniBar(HINSTANCE module, CSettings& settings) : module_(module), settings_(settings) {}
    CMiniBar(const CMiniBar&) = delete;
    CMiniBar& operator=(const CMiniBar&) = delete;

    // Creates it owned by `mainWindow`, placed from the stored position and
    // shown if `ShowMiniBar`.
    bool Create(HWND mainWindow);

    // Shows the blocking state that `BlockPopup` now has.
    void UpdateBlockingButton();
    // Writes the current place into `minibar_dx` and `minibar_dy`.
    void StorePosition();
    void Show(bool show);

private:
    BOOL OnInit() override;
    void OnCommand(int control, int code) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
    void Paint(HDC dc) override;
    void ApplyLayout();
    void ToggleCompact();
    void ShowMenu();
    void HideMainWindow();

    HINSTANCE module_;
    CSettings& settings_;
    HWND main_ = nullptr;
    bool compact_ = false;
    bool shownBlocking_ = true;
    std::mutex blockingLock_;
    skin::Tips tips_;
    // Faces by bitmap: Main, Task, Enable on, Enable off, Info, Close, Left,
    // Left compact.
    std::array<skin::ImageListOwner, 8> faces_;
};

} // namespace qlx::tray
