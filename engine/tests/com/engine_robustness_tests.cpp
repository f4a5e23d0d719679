// What callers and the world around the engine can get wrong: files held by
// other programs, texts in a double-byte code page, [out] variants holding
// garbage, and arrays that are not what their variant says.
#include <thread>

#include "common/win32/text_conv.h"
#include "engine/tests/com/com_test_support.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

using EngineRobustness = EngineComTest;

UniqueHandle Hold(const std::string& path, DWORD share) {
    return UniqueHandle(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
}

// A virus scanner or another engine object holding a file while the engine
// starts must not cost the user the lists or the history in it.
TEST_F(EngineRobustness, FilesHeldByOthersAreNeverWrittenOver) {
    const std::string history =
        "2024-05-14 10:00:00\t1\t1\t1\t0\t0\t0\t0\tT\thttp://a.b\thttp://p.q/x\tx.exe\r\n";
    folder_.Write("\\domains.lst", "+a.com\r\n");
    folder_.Write("\\history.log", history);
    {
        UniqueHandle domains = Hold(folder_.path() + "\\domains.lst", 0);
        UniqueHandle log = Hold(folder_.path() + "\\history.log", 0);
        ASSERT_TRUE(domains && log);
        ASSERT_EQ(Init(engine_.get()), S_OK);
        VARIANT_BOOL flag = 0;
        int pos = 0;
        Variant d;
        ASSERT_EQ(engine_->WXBlock(Bstr(L"t").get(), Bstr(L"").get(), Bstr(L"http://p/1").get(),
                                   Bstr(L"x.exe").get(), 0, 0, 0, 0, &flag, d.get()),
                  S_OK);
        ASSERT_EQ(engine_->AddToList(DOMAIN_LIST, Bstr(L"b.com").get(), VARIANT_TRUE, &flag, &pos),
                  S_OK);
    }
    EXPECT_EQ(folder_.Read("\\domains.lst"), "+a.com\r\n");
    EXPECT_EQ(folder_.Read("\\history.log"), history);

    // A reader beside the engine is no obstacle, and a file held for a moment
    // is waited for.
    UniqueHandle reader(::CreateFileA((folder_.path() + "\\domains.lst").c_str(), GENERIC_READ,
                                      FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    UniqueHandle briefly = Hold(folder_.path() + "\\history.log", FILE_SHARE_READ);
    ASSERT_TRUE(reader && briefly);
    std::thread release([&] {
        ::Sleep(100);
        briefly.reset();
    });
    ComPtr<IWXEngine> second = Create();
    const HRESULT hr = Init(second.get());
    release.join();
    ASSERT_EQ(hr, S_OK);
    VARIANT_BOOL present = 0;
    ASSERT_EQ(second->IsItemPresent(DOMAIN_LIST, Bstr(L"A.com").get(), &present), S_OK);
    EXPECT_EQ(present, VARIANT_TRUE);
    Variant records;
    ASSERT_EQ(second->GetHistory(records.get()), S_OK);
    EXPECT_EQ(Strings(*records.get()).size(), 5u);
}

// Code page 932 on the calling thread: ア (83 41) and ヂ (83 61) differ only
// in a second byte that falls in "A"-"Z" and "a"-"z".
TEST_F(EngineRobustness, ShiftJisNamesKeepTheirSecondBytes) {
    const LCID before = ::GetThreadLocale();
    ASSERT_TRUE(
        ::SetThreadLocale(MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), SORT_DEFAULT)));
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL inserted = 0;
    int pos = 0;
    for (const wchar_t* name : {L"\x30A2.EXE", L"\x30C2.exe", L"\x30A2.exe"}) {
        ASSERT_EQ(
            engine_->AddToList(PROCESSDENY_LIST, Bstr(name).get(), VARIANT_TRUE, &inserted, &pos),
            S_OK);
    }
    EXPECT_EQ(inserted, VARIANT_FALSE); // the third is the first again
    EXPECT_EQ(folder_.Read("\\denyprocesses.lst"), "+\x83\x41.EXE\r\n+\x83\x61.exe\r\n");

    ComPtr<IWXEngine> reopened = Create();
    ASSERT_EQ(Init(reopened.get()), S_OK);
    Variant names, checks;
    ASSERT_EQ(reopened->GetList(PROCESSDENY_LIST, names.get(), checks.get()), S_OK);
    ASSERT_EQ(names.get()->vt, VT_ARRAY | VT_BSTR);
    BSTR* texts = nullptr;
    ASSERT_EQ(::SafeArrayAccessData(names.get()->parray, reinterpret_cast<void**>(&texts)), S_OK);
    EXPECT_EQ(std::wstring(texts[0]), L"\x30A2.exe");
    EXPECT_EQ(std::wstring(texts[1]), L"\x30C2.exe");
    ::SafeArrayUnaccessData(names.get()->parray);
    VARIANT_BOOL block = 0;
    Variant d;
    ASSERT_EQ(
        reopened->WXBlock2(Bstr(L"").get(), Bstr(L"\x30C2.EXE").get(), 0, 0, 0, 0, &block, d.get()),
        S_OK);
    EXPECT_EQ(block, VARIANT_TRUE);
    ::SetThreadLocale(before);
}

// An [out] variant is the caller's uninitialised memory: neither read nor
// freed (a garbage VT_UNKNOWN would be released).
TEST_F(EngineRobustness, OutVariantsHoldingGarbageAreNeitherReadNorFreed) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    ComPtr<IWXEngineEx> ex;
    ASSERT_EQ(engine_.As(IID_IWXEngineEx, ex), S_OK);
    VARIANT_BOOL flag = 0;
    using Call = std::function<HRESULT(VARIANT*, VARIANT*)>;
    const Call calls[] = {
        [&](VARIANT* a, VARIANT*) {
            return engine_->WXBlock(Bstr(L"t").get(), Bstr(L"").get(), Bstr(L"").get(),
                                    Bstr(L"x").get(), 0, 0, 0, 0, &flag, a);
        },
        [&](VARIANT* a, VARIANT*) {
            return engine_->WXBlock2(Bstr(L"").get(), Bstr(L"").get(), 0, 0, 0, 0, &flag, a);
        },
        [&](VARIANT* a, VARIANT* b) { return engine_->GetList(PROCESS_LIST, a, b); },
        [&](VARIANT* a, VARIANT* b) { return engine_->GetList(POPUP_LIST, a, b); },
        [&](VARIANT* a, VARIANT*) { return engine_->GetHistory(a); },
        [&](VARIANT* a, VARIANT*) { return engine_->GetStatistics(VARIANT_TRUE, a); },
        [&](VARIANT* a, VARIANT*) { return engine_->GetTop10(a); },
        [&](VARIANT* a, VARIANT*) { return engine_->GetUniqueDomains(a); },
        [&](VARIANT* a, VARIANT* b) { return ex->GetTop10Ex(a, b); },
    };
    for (size_t i = 0; i < std::size(calls); ++i) {
        VARIANT out[2];
        for (VARIANT& v : out) {
            v.vt = VT_UNKNOWN;
            v.punkVal = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(0xDEADBEEF));
        }
        ASSERT_EQ(calls[i](&out[0], &out[1]), S_OK) << i;
        for (VARIANT& v : out) {
            if ((v.vt & VT_ARRAY) && v.parray != nullptr) {
                ::SafeArrayDestroy(v.parray);
            }
        }
    }
}

// Every array parameter, given arrays whose declared type is not their own,
// of two dimensions, or by reference: refused without harm, never read by
// the declared type.
TEST_F(EngineRobustness, ArrayParametersRefuseArraysThatAreNotWhatTheySay) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = 0;
    int pos = 0;
    Variant d;
    for (const wchar_t* n : {L"a", L"b", L"c"}) {
        engine_->AddToList(POPUP_LIST, Bstr(n).get(), VARIANT_TRUE, &flag, &pos);
        engine_->WXBlock(Bstr(L"t").get(), Bstr(L"").get(), Bstr(n).get(), Bstr(L"x").get(), 0, 0,
                         0, 0, &flag, d.put());
    }
    const VARTYPE types[] = {VT_I1,   VT_UI1,  VT_I2,      VT_I4,      VT_I8,     VT_R8,
                             VT_BOOL, VT_BSTR, VT_VARIANT, VT_DECIMAL, VT_UNKNOWN};
    for (VARTYPE real : types) {
        for (VARTYPE declared : types) {
            for (UINT dims : {1u, 2u}) {
                SAFEARRAYBOUND bounds[2] = {{2, 0}, {1, 0}};
                SafeArray sa(::SafeArrayCreate(real, dims, bounds));
                ASSERT_NE(sa.get(), nullptr);
                VARIANT byValue;
                byValue.vt = VT_ARRAY | declared;
                byValue.parray = sa.get();
                VARIANT byRef;
                byRef.vt = VT_BYREF | VT_ARRAY | declared;
                SAFEARRAY* held = sa.get();
                byRef.pparray = &held;
                VARIANT viaVariant = RefArg(&byValue);
                for (VARIANT* arg : {&byValue, &byRef, &viaVariant}) {
                    const HRESULT list = engine_->DeleteFromList(POPUP_LIST, arg, &flag);
                    const HRESULT history = engine_->DeleteFromHistory(arg, &flag);
                    if (dims != 1) {
                        EXPECT_EQ(list, E_INVALIDARG);
                        EXPECT_EQ(history, E_INVALIDARG);
                    } else if (real != declared) {
                        EXPECT_EQ(list, DISP_E_TYPEMISMATCH) << real << " as " << declared;
                        EXPECT_EQ(history, DISP_E_TYPEMISMATCH) << real << " as " << declared;
                    }
                }
            }
        }
    }
    // The zero positions of the matching arrays removed entries; the rest
    // changed nothing and nothing was corrupted.
    Variant names, checks;
    ASSERT_EQ(engine_->GetList(POPUP_LIST, names.get(), checks.get()), S_OK);
    Variant records;
    ASSERT_EQ(engine_->GetHistory(records.get()), S_OK);
}

// VT_I2 arrays of positions get their adjusted values back as VT_I4 ones do.
TEST_F(EngineRobustness, DeletionWritesBackSixteenBitPositions) {
    ASSERT_EQ(Init(engine_.get()), S_OK);
    VARIANT_BOOL flag = 0;
    int pos = 0;
    for (const wchar_t* n : {L"a", L"b", L"c"}) {
        engine_->AddToList(POPUP_LIST, Bstr(n).get(), VARIANT_TRUE, &flag, &pos);
    }
    Variant positions;
    WriteInt16Array({0, 2}, positions.get());
    ASSERT_EQ(engine_->DeleteFromList(POPUP_LIST, positions.get(), &flag), S_OK);
    EXPECT_EQ(positions.get()->vt, VT_ARRAY | VT_I2);
    EXPECT_THAT(Ints(*positions.get()), ElementsAre(0, 1));
    EXPECT_EQ(folder_.Read("\\urls.lst"), "+b\r\n");
}

// A library in a folder whose name the ANSI code page cannot hold (Greek is
// not in 1252) registers that path whole.
TEST_F(EngineRobustness, RegistersFromAPathOutsideTheAnsiCodePage) {
    wchar_t temp[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring folder = std::wstring(temp) + L"qlx\x03A9";
    const std::wstring copy = folder + L"\\QLXEng.dll";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW(AnsiToWide(qlx::testing::BinDir() + "QLXEng.dll").c_str(), copy.c_str(),
                            FALSE));
    HMODULE dll = ::LoadLibraryW(copy.c_str());
    ASSERT_NE(dll, nullptr);
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto reg =
        reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllRegisterServer")));
    ASSERT_NE(reg, nullptr);
    EXPECT_EQ(reg(), S_OK);
    ::FreeLibrary(dll);
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    EXPECT_EQ(::RegGetValueW(HKEY_CLASSES_ROOT,
                             L"CLSID\\{3C58D447-43A1-40D1-890A-C4240FDCC404}\\InprocServer32",
                             nullptr, RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), copy);
    EXPECT_EQ(RegisterEngine(), S_OK); // the build's library again
    ::DeleteFileW(copy.c_str());
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace
} // namespace qlx::engine::testing
