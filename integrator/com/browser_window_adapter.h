#pragma once
// One browser window as the decision client sees it, over IWebBrowser2.
#include <windows.h>
#include <exdisp.h>

#include "common/win32/com_ptr.h"
#include "integrator/core/decision_client.h"

namespace qlx::integrator {

// Left, Top, Width and Height; a failed read counts as 0.
WindowGeometry ReadGeometry(IWebBrowser2* browser);

class BrowserWindowAdapter final : public BrowserWindow {
public:
    explicit BrowserWindowAdapter(ComPtr<IWebBrowser2> browser) : browser_(std::move(browser)) {}

    std::string LocationName() override;
    std::string LocationURL() override;
    std::optional<int32_t> ToolBar() override;
    std::optional<bool> MenuBar() override;
    void StopAndQuit() override;
    void ShowMaximised() override;
    std::optional<uint32_t> Style() override;
    void SetStyle(uint32_t style) override;
    void RestoreChrome() override;

private:
    HWND Window();
    ComPtr<IWebBrowser2> browser_;
};

} // namespace qlx::integrator
