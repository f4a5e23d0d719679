// Tests of the Win32 helpers against the real registry, OLE Automation and
// COM of the Wine prefix.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include "common/win32/bstr.h"
#include "common/win32/com_module.h"
#include "common/win32/file_replace.h"
#include "common/win32/registrar.h"
#include "common/win32/text_conv.h"
#include "common/win32/unique_handle.h"
#include "common/win32/variant.h"
#include "common/win32/win32_registry.h"

namespace qlx {
namespace {

constexpr const char* kClassKey = "CLSID\\{7E3B1C55-0D5E-4C9A-9A51-2B6C1F0E9A03}";
constexpr const char* kTypeLibKey = "TypeLib\\{7E3B1C55-0D5E-4C9A-9A51-2B6C1F0E9A01}";

std::string StringValue(RegRoot root, const std::string& path, const std::string& name) {
    auto v = Win32Registry().GetValue(root, path, name);
    if (!v || v->bytes.empty()) {
        return "<missing>";
    }
    return std::string(v->bytes.begin(), v->bytes.end() - 1);
}

TEST(Win32Registry, WritesReadsAndDeletesRealKeys) {
    Win32Registry reg;
    const std::string key = "Software\\QuellixCommonTest\\Registry";
    ASSERT_TRUE(reg.CreateKey(RegRoot::CurrentUser, key));
    ASSERT_TRUE(reg.SetValue(RegRoot::CurrentUser, key, "Count", RegData::Dword(7)));
    ASSERT_TRUE(reg.SetValue(RegRoot::CurrentUser, key, "", RegData::String("default")));
    EXPECT_EQ(reg.GetValue(RegRoot::CurrentUser, key, "count"), RegData::Dword(7));
    EXPECT_EQ(StringValue(RegRoot::CurrentUser, key, ""), "default");
    EXPECT_FALSE(reg.GetValue(RegRoot::CurrentUser, key, "Missing").has_value());
    EXPECT_TRUE(reg.DeleteValue(RegRoot::CurrentUser, key, "Count"));
    EXPECT_FALSE(reg.IsKeyEmpty(RegRoot::CurrentUser, key));
    ASSERT_TRUE(reg.CreateKey(RegRoot::CurrentUser, key + "\\Deep\\Deeper"));
    EXPECT_TRUE(reg.DeleteTree(RegRoot::CurrentUser, key));
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, key));
    EXPECT_FALSE(reg.SetValue(RegRoot::CurrentUser, key, "x", RegData::Dword(1)));
}

TEST(Registrar, ScriptResourceRegistersAndUnregisters) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    Win32Registry reg;
    ASSERT_EQ(UpdateRegistryFromResource(self, 101, true, {{"APPID", "{APP}"}}), S_OK);
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, kClassKey, ""), "Common Test Class");
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, std::string(kClassKey) + "\\InprocServer32", ""),
              ModulePath(self));
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, std::string(kClassKey) + "\\InprocServer32",
                          "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, kClassKey, "AppID"), "{APP}");
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, "Quellix.CommonTest.1\\CLSID", ""),
              "{7E3B1C55-0D5E-4C9A-9A51-2B6C1F0E9A03}");
    auto path = reg.GetValue(RegRoot::CurrentUser, "Software\\QuellixCommonTest", "Path");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->type, RegType::ExpandString);
    EXPECT_EQ(reg.GetValue(RegRoot::CurrentUser, "Software\\QuellixCommonTest", "Number"),
              RegData::Dword(42));

    ASSERT_EQ(UpdateRegistryFromResource(self, 101, false, {{"APPID", "{APP}"}}), S_OK);
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, kClassKey));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Quellix.CommonTest.1"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "CLSID"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::CurrentUser, "Software"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "Software\\QuellixCommonTest"));
}

// Text outside the ANSI code page (Greek is not in 1252) reaches the registry
// whole through the wide functions, as UTF-8 narrow text.
TEST(Win32Registry, Utf8TextReachesTheWideRegistry) {
    Win32Registry reg(0, CP_UTF8);
    const std::string key = "Software\\QuellixCommonTest\\\xCE\xA9";
    ASSERT_TRUE(reg.CreateKey(RegRoot::CurrentUser, key));
    ASSERT_TRUE(
        reg.SetValue(RegRoot::CurrentUser, key, "", RegData::String("C:\\\xCE\xA9\\x.dll")));
    wchar_t value[64] = {};
    DWORD size = sizeof value;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, L"Software\\QuellixCommonTest\\\x03A9", nullptr,
                             RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"C:\\\x03A9\\x.dll");
    EXPECT_EQ(reg.GetValue(RegRoot::CurrentUser, key, ""), RegData::String("C:\\\xCE\xA9\\x.dll"));
    EXPECT_TRUE(reg.DeleteTree(RegRoot::CurrentUser, "Software\\QuellixCommonTest"));
}

// A registration that fails part-way takes back what it wrote.
TEST(Registrar, FailedRegistrationIsTakenBack) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    EXPECT_EQ(RegisterServer(self, {101, 999}, {{"APPID", "{APP}"}}), SELFREG_E_CLASS);
    EXPECT_FALSE(Win32Registry().KeyExists(RegRoot::ClassesRoot, kClassKey));
    EXPECT_FALSE(Win32Registry().KeyExists(RegRoot::ClassesRoot, "Quellix.CommonTest.1"));
    EXPECT_TRUE(Win32Registry().KeyExists(RegRoot::ClassesRoot, "CLSID"));
}

TEST(Registrar, MissingScriptOrReplacementFails) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    EXPECT_EQ(UpdateRegistryFromResource(self, 999, true), E_FAIL);
    // %APPID% is not given: nothing may be written.
    EXPECT_EQ(UpdateRegistryFromResource(self, 101, true), E_FAIL);
    EXPECT_FALSE(Win32Registry().KeyExists(RegRoot::ClassesRoot, kClassKey));
}

TEST(Registrar, TypeLibraryFromTheModuleRegistersAndUnregisters) {
    HMODULE self = ::GetModuleHandleA(nullptr);
    ASSERT_EQ(RegisterModuleTypeLib(self), S_OK);
    Win32Registry reg;
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot, std::string(kTypeLibKey) + "\\1.0", ""),
              "Quellix common test library");
    // The dual interface is registered for the automation marshaler.
    EXPECT_EQ(StringValue(RegRoot::ClassesRoot,
                          "Interface\\{7E3B1C55-0D5E-4C9A-9A51-2B6C1F0E9A02}\\ProxyStubClsid32",
                          ""),
              "{00020424-0000-0000-C000-000000000046}");
    ASSERT_EQ(UnregisterModuleTypeLib(self), S_OK);
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, std::string(kTypeLibKey) + "\\1.0"));
}

TEST(TextConversion, RoundTripsTheAnsiCodePage) {
    EXPECT_EQ(AnsiToWide("plain"), L"plain");
    const UINT acp = ::GetACP();
    if (acp == 1252) {
        EXPECT_EQ(AnsiToWide("caf\xE9"), L"caf\u00e9");
        EXPECT_EQ(WideToAnsi(L"caf\u00e9"), "caf\xE9");
    }
    EXPECT_EQ(WideToAnsi(AnsiToWide("http://a.b/c?d=e&f")), "http://a.b/c?d=e&f");
    EXPECT_EQ(AnsiToWide(""), L"");
    // Embedded zero bytes survive: lengths are explicit.
    EXPECT_EQ(WideToAnsi(std::wstring_view(L"a\0b", 3)), std::string("a\0b", 3));
    Bstr b = Bstr::FromAnsi("text");
    EXPECT_EQ(::SysStringLen(b.get()), 4u);
    EXPECT_EQ(b.ToAnsi(), "text");
    EXPECT_EQ(BstrToAnsi(nullptr), "");
}

TEST(VariantArrays, StringAndIntegerVectorsRoundTrip) {
    Variant v;
    WriteStringArray({"a", "", "ccc"}, v.put());
    EXPECT_EQ(v.get()->vt, VT_ARRAY | VT_BSTR);
    std::vector<std::string> strings;
    ASSERT_EQ(ReadStringArray(*v.get(), strings), S_OK);
    EXPECT_EQ(strings, (std::vector<std::string>{"a", "", "ccc"}));

    WriteInt16Array({-1, 0, -1}, v.put());
    EXPECT_EQ(v.get()->vt, VT_ARRAY | VT_I2);
    std::vector<int16_t> flags;
    ASSERT_EQ(ReadInt16Array(*v.get(), flags), S_OK);
    EXPECT_EQ(flags, (std::vector<int16_t>{-1, 0, -1}));

    WriteInt32Array({5, 70000}, v.put());
    std::vector<int32_t> ints;
    ASSERT_EQ(ReadInt32Array(*v.get(), ints), S_OK);
    EXPECT_EQ(ints, (std::vector<int32_t>{5, 70000}));

    WriteInt32Array({}, v.put());
    ASSERT_EQ(ReadInt32Array(*v.get(), ints), S_OK);
    EXPECT_TRUE(ints.empty());
}

// Scripts hand over arrays of VARIANTs holding numbers of any integer type,
// sometimes by reference.
TEST(VariantArrays, ScriptStyleVariantArraysOfIntegers) {
    SafeArray sa = SafeArray::CreateVector(VT_VARIANT, 3);
    VARIANT e;
    LONG i = 0;
    e.vt = VT_I2;
    e.iVal = 3;
    ASSERT_EQ(::SafeArrayPutElement(sa.get(), &i, &e), S_OK);
    i = 1;
    e.vt = VT_I4;
    e.lVal = 100000;
    ASSERT_EQ(::SafeArrayPutElement(sa.get(), &i, &e), S_OK);
    i = 2;
    e.vt = VT_R8;
    e.dblVal = 7.0;
    ASSERT_EQ(::SafeArrayPutElement(sa.get(), &i, &e), S_OK);
    Variant arr;
    arr.get()->vt = VT_ARRAY | VT_VARIANT;
    arr.get()->parray = sa.Detach();

    std::vector<int32_t> ints;
    ASSERT_EQ(ReadInt32Array(*arr.get(), ints), S_OK);
    EXPECT_EQ(ints, (std::vector<int32_t>{3, 100000, 7}));

    VARIANT byRef;
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = arr.get();
    ints.clear();
    ASSERT_EQ(ReadInt32Array(byRef, ints), S_OK);
    EXPECT_EQ(ints.size(), 3u);
}

TEST(VariantArrays, RejectsWhatIsNotAVectorOfNumbers) {
    std::vector<int32_t> ints{1};
    Variant scalar;
    scalar.get()->vt = VT_I4;
    scalar.get()->lVal = 1;
    EXPECT_EQ(ReadInt32Array(*scalar.get(), ints), DISP_E_TYPEMISMATCH);

    Variant nullArray;
    nullArray.get()->vt = VT_ARRAY | VT_I4;
    nullArray.get()->parray = nullptr;
    EXPECT_EQ(ReadInt32Array(*nullArray.get(), ints), E_INVALIDARG);

    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    Variant matrix;
    matrix.get()->vt = VT_ARRAY | VT_I4;
    matrix.get()->parray = ::SafeArrayCreate(VT_I4, 2, bounds);
    EXPECT_EQ(ReadInt32Array(*matrix.get(), ints), E_INVALIDARG);

    Variant words;
    WriteStringArray({"12", "twelve"}, words.get());
    EXPECT_EQ(ReadInt32Array(*words.get(), ints), DISP_E_TYPEMISMATCH);
    // A failed read leaves the output as it was.
    EXPECT_EQ(ints, (std::vector<int32_t>{1}));

    // The declared type is the caller's word only: reading by it would write
    // a 24-byte VARIANT into a 4-byte integer, or free a string never filled.
    const struct {
        VARTYPE real, declared;
    } lies[] = {{VT_VARIANT, VT_I4}, {VT_I4, VT_VARIANT}, {VT_I4, VT_BSTR},
                {VT_I4, VT_I2},      {VT_I2, VT_I4},      {VT_R8, VT_I4},
                {VT_BSTR, VT_I4},    {VT_UNKNOWN, VT_I4}, {VT_VARIANT, VT_BSTR}};
    for (const auto& lie : lies) {
        Variant wrapped;
        wrapped.get()->vt = VT_ARRAY | lie.declared;
        wrapped.get()->parray = SafeArray::CreateVector(lie.real, 2).Detach();
        std::vector<std::string> texts;
        EXPECT_EQ(ReadInt32Array(*wrapped.get(), ints), DISP_E_TYPEMISMATCH) << lie.real;
        EXPECT_EQ(ReadStringArray(*wrapped.get(), texts), DISP_E_TYPEMISMATCH) << lie.real;
    }
}

HRESULT CreateNothing(IUnknown*, REFIID, void** out) {
    *out = nullptr;
    throw std::bad_alloc();
}

TEST(ClassFactory, GuardsAggregationPointersAndExceptions) {
    ClassFactory factory(&CreateNothing);
    void* out = reinterpret_cast<void*>(1);
    IUnknown* outer = reinterpret_cast<IUnknown*>(&factory);
    EXPECT_EQ(factory.CreateInstance(outer, IID_IDispatch, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IUnknown, &out), E_OUTOFMEMORY);

    auto& module = ComModule::Instance();
    const LONG before = module.LockCount();
    int lastUnlocks = 0;
    module.SetOnLastUnlock([&] { ++lastUnlocks; });
    factory.LockServer(TRUE);
    EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    factory.LockServer(FALSE);
    EXPECT_EQ(module.LockCount(), before);
    EXPECT_EQ(lastUnlocks, before == 0 ? 1 : 0);
    // Unlocks without a lock of the factory's never drive the count down.
    module.Lock();
    factory.LockServer(FALSE);
    factory.LockServer(FALSE);
    EXPECT_EQ(module.LockCount(), before + 1);
    module.Unlock();
    module.SetOnLastUnlock(nullptr);
}

std::string ReadWhole(const std::string& path) {
    std::string content;
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    return content;
}

size_t FilesIn(const std::string& folder) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(::FindFirstFileA((folder + "\\*").c_str(), &data));
    size_t count = 0;
    while (find) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++count;
        }
        if (!::FindNextFileA(find.get(), &data)) {
            break;
        }
    }
    return count;
}

TEST(ReplaceFileContents, ReplacesWholeAndLeavesNoTemporaryFile) {
    char tempRoot[MAX_PATH];
    ASSERT_GT(::GetTempPathA(MAX_PATH, tempRoot), 0u);
    const std::string folder = std::string(tempRoot) + "qlx-replace-test";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\data.lst";
    ::DeleteFileA(path.c_str());

    ASSERT_TRUE(ReplaceFileContents(path, "+first\r\n+second\r\n"));
    EXPECT_EQ(ReadWhole(path), "+first\r\n+second\r\n");
    ASSERT_TRUE(ReplaceFileContents(path, "short"));
    EXPECT_EQ(ReadWhole(path), "short");
    ASSERT_TRUE(ReplaceFileContents(path, ""));
    EXPECT_EQ(ReadWhole(path), "");
    EXPECT_EQ(FilesIn(folder), 1u);

    // A file held open without sharing cannot be replaced: the old content
    // stays and the temporary file is removed again.
    ASSERT_TRUE(ReplaceFileContents(path, "kept"));
    {
        UniqueHandle locked(
            ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked);
        EXPECT_FALSE(ReplaceFileContents(path, "lost"));
    }
    EXPECT_EQ(ReadWhole(path), "kept");
    EXPECT_EQ(FilesIn(folder), 1u);

    EXPECT_FALSE(ReplaceFileContents(folder + "\\missing\\x.lst", "x"));
    ::DeleteFileA(path.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST(UniqueHandle, ClosesAndMoves) {
    UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, "QuellixCommonTestEvent"));
    ASSERT_TRUE(event);
    UniqueHandle moved = std::move(event);
    EXPECT_FALSE(event);
    EXPECT_TRUE(moved);
    moved.reset();
    UniqueHandle reopened(::OpenEventA(SYNCHRONIZE, FALSE, "QuellixCommonTestEvent"));
    EXPECT_FALSE(reopened);
}

} // namespace
} // namespace qlx
