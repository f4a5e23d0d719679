#pragma once
// `CMiniBar`: the small always-on-top bar (dialog 106) with buttons for the
// main window, the last pop-up, the blocking switch, the menu, compacting
// and closing. Owned by the main window; commands go to it.
#include <windows.h>

#include <array>
#include <mutex>

#include "skin/skin_bitmap.h"
#include "skin/skin_controls.h"

namespace qlx::tray {

class CSettings;

class CMiniBar {
public:
    CMiniBar(HINSTANCE module, CSettings& settings) : module_(module), settings_(settings) {}
    CMiniBar(const CMiniBar&) = delete;
    CMiniBar& operator=(const CMiniBar&) = delete;
    ~CMiniBar();

    // Creates it owned by `mainWindow`, placed from the stored position and
    // shown if `ShowMiniBar`.
    bool Create(HWND mainWindow);
    HWND Window() const { return window_; }

    // Shows the blocking state that `BlockPopup` now has.
    void UpdateBlockingButton();
    // Writes the current place into `minibar_dx` and `minibar_dy`.
    void StorePosition();
    void Show(bool show);

private:
    static INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void OnInit();
    void OnButton(int control);
    void ApplyLayout();
    void ToggleCompact();
    void ShowMenu();
    void HideMainWindow();

    HINSTANCE module_;
    CSettings& settings_;
    HWND window_ = nullptr;
    HWND main_ = nullptr;
    bool compact_ = false;
    bool shownBlocking_ = true;
    std::mutex blockingLock_;
    skin::Surface surface_;
    skin::Tips tips_;
    // Faces by bitmap: Main, Task, Enable on, Enable off, Info, Close, Left,
    // Left compact.
    std::array<skin::ImageListOwner, 8> faces_;
};

} // namespace qlx::tray
