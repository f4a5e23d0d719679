#pragma once
// Shared set-up of the engine's Wine tests: the registered QLXEng.dll, a
// fresh data folder, and small helpers for VARIANT arguments and results.
#include <windows.h>
#include <oleauto.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/testing/child_process.h"
#include "common/win32/bstr.h"
#include "common/win32/com_apartment.h"
#include "common/win32/com_ptr.h"
#include "common/win32/variant.h"
#include "wexafel_engine.h"

namespace qlx::engine::testing {

// A fresh folder under the temporary folder, removed with its files.
class DataFolder {
public:
    DataFolder();
    ~DataFolder();
    const std::string& path() const { return path_; }
    std::string Read(const std::string& name) const; // name begins with "\"
    void Write(const std::string& name, const std::string& bytes) const;
    bool Exists(const std::string& name) const;
    std::vector<std::string> Files() const;

private:
    std::string path_;
};

// Registers QLXEng.dll as regsvr32 would, so that the class, the ProgIDs
// and the type library are found.
HRESULT RegisterEngine();

class EngineComTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    ComPtr<IWXEngine> Create();
    HRESULT Init(IWXEngine* e, VARIANT_BOOL fullLogic = VARIANT_FALSE,
                 VARIANT_BOOL block = VARIANT_FALSE);

    std::optional<ComApartment> apartment_; // left after the engine is released
    ComPtr<IWXEngine> engine_;
    DataFolder folder_;
};

inline VARIANT IntArg(LONG v) {
    VARIANT r;
    ::VariantInit(&r);
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}
inline VARIANT TextArg(const wchar_t* s) {
    VARIANT r;
    ::VariantInit(&r);
    r.vt = VT_BSTR;
    r.bstrVal = ::SysAllocString(s);
    return r;
}
inline VARIANT BoolArg(bool b) {
    VARIANT r;
    ::VariantInit(&r);
    r.vt = VT_BOOL;
    r.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
inline VARIANT RefArg(VARIANT* target) {
    VARIANT r;
    ::VariantInit(&r);
    r.vt = VT_BYREF | VT_VARIANT;
    r.pvarVal = target;
    return r;
}

// A late-bound method call as an automation controller makes it: arguments
// in natural order (reversed into DISPPARAMS here), result in `result`.
// A method's failure arrives as DISP_E_EXCEPTION; `scode` receives its own code.
HRESULT CallByDispId(IDispatch* d, DISPID id, std::vector<VARIANT> args, VARIANT* result,
                     SCODE* scode = nullptr);
DISPID DispIdOf(IDispatch* d, const wchar_t* name);

std::vector<std::string> Strings(const VARIANT& v);
std::vector<int32_t> Ints(const VARIANT& v);

} // namespace qlx::engine::testing
