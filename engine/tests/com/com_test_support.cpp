#include "engine/tests/com/com_test_support.h"

#include <algorithm>

namespace qlx::engine::testing {

DataFolder::DataFolder() {
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    char name[MAX_PATH];
    ::GetTempFileNameA(temp, "qle", 0, name);
    ::DeleteFileA(name);
    ::CreateDirectoryA(name, nullptr);
    path_ = name;
}

DataFolder::~DataFolder() {
    for (const std::string& f : Files()) {
        ::DeleteFileA((path_ + "\\" + f).c_str());
    }
    ::RemoveDirectoryA(path_.c_str());
}

std::vector<std::string> DataFolder::Files() const {
    std::vector<std::string> out;
    WIN32_FIND_DATAA data;
    HANDLE find = ::FindFirstFileA((path_ + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        return out;
    }
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            out.push_back(data.cFileName);
        }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
    std::sort(out.begin(), out.end());
    return out;
}

std::string DataFolder::Read(const std::string& name) const {
    std::string out;
    HANDLE f = ::CreateFileA((path_ + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        return "<missing>";
    }
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(f, buf, sizeof buf, &n, nullptr) && n > 0) {
        out.append(buf, n);
    }
    ::CloseHandle(f);
    return out;
}

void DataFolder::Write(const std::string& name, const std::string& bytes) const {
    HANDLE f =
        ::CreateFileA((path_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(f);
}

bool DataFolder::Exists(const std::string& name) const {
    return ::GetFileAttributesA((path_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

HRESULT RegisterEngine() {
    HMODULE dll = ::LoadLibraryA((qlx::testing::BinDir() + "QLXEng.dll").c_str());
    if (dll == nullptr) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllRegisterServer")));
    const HRESULT hr = fn ? fn() : E_FAIL;
    ::FreeLibrary(dll);
    return hr;
}

void EngineComTest::SetUp() {
    ASSERT_TRUE(apartment_.emplace().entered());
    ASSERT_EQ(RegisterEngine(), S_OK);
    engine_ = Create();
    ASSERT_TRUE(engine_);
}

void EngineComTest::TearDown() {
    engine_.reset();
    apartment_.reset();
}

ComPtr<IWXEngine> EngineComTest::Create() {
    ComPtr<IWXEngine> e;
    EXPECT_EQ(::CoCreateInstance(CLSID_WXEngine, nullptr, CLSCTX_INPROC_SERVER, IID_IWXEngine,
                                 e.put_void()),
              S_OK);
    return e;
}

HRESULT EngineComTest::Init(IWXEngine* e, VARIANT_BOOL fullLogic, VARIANT_BOOL block) {
    const Bstr proc(L"client.exe");
    const Bstr path = Bstr::FromAnsi(folder_.path());
    return e->EngineInit(proc.get(), path.get(), fullLogic, block, VARIANT_FALSE, VARIANT_FALSE,
                         VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, 0, 0, 0);
}

HRESULT CallByDispId(IDispatch* d, DISPID id, std::vector<VARIANT> args, VARIANT* result,
                     SCODE* scode) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    const HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                 result, &exception, &argError);
    for (VARIANT& a : args) {
        if (!(a.vt & VT_BYREF)) {
            ::VariantClear(&a);
        }
    }
    if (scode != nullptr) {
        *scode = exception.scode;
    }
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}

DISPID DispIdOf(IDispatch* d, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

std::vector<std::string> Strings(const VARIANT& v) {
    std::vector<std::string> out;
    EXPECT_EQ(ReadStringArray(v, out), S_OK);
    return out;
}

std::vector<int32_t> Ints(const VARIANT& v) {
    std::vector<int32_t> out;
    EXPECT_EQ(ReadInt32Array(v, out), S_OK);
    return out;
}

} // namespace qlx::engine::testing
