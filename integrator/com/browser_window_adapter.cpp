#include "browser_window_adapter.h"

#include "common/win32/bstr.h"

namespace qlx::integrator {

WindowGeometry ReadGeometry(IWebBrowser2* browser) {
    WindowGeometry g;
    if (!browser) {
        return g;
    }
    long value = 0;
    auto read = [&](HRESULT hr) { return SUCCEEDED(hr) ? static_cast<uint32_t>(value) : 0u; };
    g.left = read(browser->get_Left(&value));
    value = 0;
    g.top = read(browser->get_Top(&value));
    value = 0;
    g.width = read(browser->get_Width(&value));
    value = 0;
    g.height = read(browser->get_Height(&value));
    return g;
}

std::string BrowserWindowAdapter::LocationName() {
    Bstr name;
    if (FAILED(browser_->get_LocationName(name.put()))) {
        return {};
    }
    return name.ToAnsi();
}

std::string BrowserWindowAdapter::LocationURL() {
    Bstr url;
    if (FAILED(browser_->get_LocationURL(url.put()))) {
        return {};
    }
    return url.ToAnsi();
}

std::optional<int32_t> BrowserWindowAdapter::ToolBar() {
    int value = 0;
    if (FAILED(browser_->get_ToolBar(&value))) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> BrowserWindowAdapter::MenuBar() {
    VARIANT_BOOL value = VARIANT_FALSE;
    if (FAILED(browser_->get_MenuBar(&value))) {
        return std::nullopt;
    }
    return value != VARIANT_FALSE;
}

void BrowserWindowAdapter::StopAndQuit() {
    browser_->Stop();
    browser_->Quit();
}

HWND BrowserWindowAdapter::Window() {
    SHANDLE_PTR handle = 0;
    if (FAILED(browser_->get_HWND(&handle))) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(handle);
}

void BrowserWindowAdapter::ShowMaximised() {
    if (HWND window = Window()) {
        ::ShowWindow(window, SW_SHOWMAXIMIZED);
    }
}

std::optional<uint32_t> BrowserWindowAdapter::Style() {
    HWND window = Window();
    if (!window) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(::GetWindowLongA(window, GWL_STYLE));
}

void BrowserWindowAdapter::SetStyle(uint32_t style) {
    if (HWND window = Window()) {
        ::SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(style));
    }
}

void BrowserWindowAdapter::RestoreChrome() {
    browser_->put_Resizable(VARIANT_TRUE);
    browser_->put_ToolBar(1);
    browser_->put_MenuBar(VARIANT_TRUE);
    browser_->put_StatusBar(VARIANT_TRUE);
}

} // namespace qlx::integrator
