#pragma once
// Tool tips for a window's controls.
#include <windows.h>

#include <string>

namespace qlx::skin {

class Tips {
public:
    Tips() = default;
    Tips(const Tips&) = delete;
    Tips& operator=(const Tips&) = delete;
    ~Tips();
    void Create(HWND owner);
    void Set(HWND control, const std::string& text);

private:
    HWND tips_ = nullptr;
    HWND owner_ = nullptr;
};

} // namespace qlx::skin
