#pragma once
// What the Windows tests of the tray program share: a COM apartment, the
// popup service reached as the browser integrator reaches it, `Block`, the
// options in the registry and "history.lst" read back.
#include <gtest/gtest.h>

#include <ole2.h>

#include <optional>

#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "tray/core/history.h"
#include "tray/core/settings.h"
#include "tray/quellix.h"
#include "tray/tests/win/qlx_driver.h"

namespace qlx::tray::testing {

constexpr DWORD kContextMask = 23; // what the browser integrator passes
inline const char* const kClsidKey = "CLSID\\{2EEDC3D9-D3C2-44F0-89C3-286D73BDD7D5}";

using Apartment = ComApartment;

inline ComPtr<IWexafel2> Connect(HRESULT* result = nullptr) {
    ComPtr<IUnknown> unknown;
    HRESULT hr =
        ::CoCreateInstance(CLSID_CQLX, nullptr, kContextMask, IID_IUnknown, unknown.put_void());
    if (SUCCEEDED(hr)) {
        hr = ::OleRun(unknown.get());
    }
    ComPtr<IWexafel2> service;
    if (SUCCEEDED(hr)) {
        hr = unknown->QueryInterface(IID_IWexafel2, service.put_void());
    }
    if (result) {
        *result = hr;
    }
    return service;
}

inline std::optional<RegData> Option(const char* name) {
    return Win32Registry().GetValue(RegRoot::CurrentUser, kOptionsKeyPath, name);
}

inline void SetOption(const char* name, const RegData& data) {
    Win32Registry registry;
    registry.CreateKey(RegRoot::CurrentUser, kOptionsKeyPath);
    registry.SetValue(RegRoot::CurrentUser, kOptionsKeyPath, name, data);
}

inline History ReadHistoryFile() {
    UniqueHandle file(::CreateFileA(HistoryFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return ReadHistoryText(text);
}

inline bool Block(IWexafel2* service, const wchar_t* parent, const wchar_t* popup, ULONG left = 10,
                  ULONG top = 20, ULONG width = 300, ULONG height = 200) {
    Bstr title(L"Title"), parentUrl(parent), popupUrl(popup), process(L"explorer.exe");
    VARIANT_BOOL answer = 0x1234;
    EXPECT_EQ(service->Block(title.get(), parentUrl.get(), popupUrl.get(), process.get(), left, top,
                             width, height, &answer),
              S_OK);
    return answer == VARIANT_TRUE;
}

} // namespace qlx::tray::testing
