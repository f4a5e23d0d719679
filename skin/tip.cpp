#include "skin/tip.h"

#include <commctrl.h>

namespace qlx::skin {

Tips::~Tips() {
    if (tips_ && ::IsWindow(tips_)) {
        ::DestroyWindow(tips_);
    }
}

void Tips::Create(HWND owner) {
    owner_ = owner;
    tips_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner,
                              nullptr, nullptr, nullptr);
}

void Tips::Set(HWND control, const std::string& text) {
    if (!tips_ || !control) {
        return;
    }
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = owner_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(text.c_str());
    TOOLINFOA probe = tool;
    probe.lpszText = nullptr;
    const bool known = ::SendMessageA(tips_, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&probe));
    ::SendMessageA(tips_, known ? TTM_UPDATETIPTEXTA : TTM_ADDTOOLA, 0,
                   reinterpret_cast<LPARAM>(&tool));
}

} // namespace qlx::skin
