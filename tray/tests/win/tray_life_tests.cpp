// QLX.exe as a whole under Wine: registration, the normal start and exit,
// a second instance, the COM-only start, and the popup service as the
// browser integrator reaches it (context mask 23, OleRun, IWexafel2).
#include <gtest/gtest.h>

#include <ole2.h>

#include "common/win32/bstr.h"
#include "common/win32/com_ptr.h"
#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "tray/core/history.h"
#include "tray/core/settings.h"
#include "tray/core/system_integration.h"
#include "tray/quellix.h"
#include "qlx_version.h"
#include "tray/tests/win/popup_client.h"
#include "tray/tests/win/qlx_driver.h"

#include <tlhelp32.h>

namespace qlx::tray::testing {
namespace {

using qlx::testing::ChildProcess;
using qlx::testing::NamedMutexExists;
using qlx::testing::RunAndWait;
using qlx::testing::WaitUntil;

size_t CountQlxProcesses() {
    return CountProcesses("QLX.exe");
}

bool Flag(HRESULT (STDMETHODCALLTYPE IWexafel2::*getter)(VARIANT_BOOL*), IWexafel2* service,
          VARIANT_BOOL* raw = nullptr) {
    VARIANT_BOOL value = 0x1234;
    EXPECT_EQ((service->*getter)(&value), S_OK);
    EXPECT_TRUE(value == VARIANT_TRUE || value == VARIANT_FALSE) << value;
    if (raw) {
        *raw = value;
    }
    return value == VARIANT_TRUE;
}

struct SplashSearch {
    DWORD processId;
    HWND found = nullptr;
};

BOOL CALLBACK FindSplashOf(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<SplashSearch*>(param);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    if (pid == search->processId && ::IsWindowVisible(window) && ::GetDlgItem(window, 1005)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindSplash(DWORD processId) {
    SplashSearch search{processId};
    ::EnumWindows(FindSplashOf, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A start while another instance runs: ends at once with code 0, shows no
// window and saves nothing.
void ExpectSecondStartEndsSilently() {
    ChildProcess second;
    ASSERT_TRUE(second.Start(Quoted(QlxPath())));
    DWORD code = 99;
    ASSERT_TRUE(second.WaitForExit(20000, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindMainWindow(second.Id()), nullptr);
    EXPECT_FALSE(Option("PopupBlockedTotal_Count").has_value());
}

class TrayLifeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunAndWait(Quoted(QlxPath()) + " /RegServer"), 0); }
    void SetUp() override {
        ASSERT_FALSE(NamedMutexExists(kMutex)) << "a tray program is already running";
        ResetUserState();
    }
    Apartment apartment;
};

TEST_F(TrayLifeTest, RegistrationWritesAndRemovesTheServerEntries) {
    Win32Registry reg;
    ASSERT_EQ(RunAndWait(Quoted(QlxPath()) + " -UNREGSERVER"), 0);
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, kClsidKey));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Quellix.QLX"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Quellix.QLX.1"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "AppID\\Quellix.EXE"));
    EXPECT_FALSE(
        reg.KeyExists(RegRoot::ClassesRoot, "AppID\\{2A081A1E-7D1C-49B3-9345-7F9EF419E873}"));
    EXPECT_FALSE(
        reg.KeyExists(RegRoot::ClassesRoot, "TypeLib\\{41AF1B1D-44A7-4678-97AF-838F2C6BA296}"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "CLSID")); // never removed
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "AppID"));

    ASSERT_EQ(RunAndWait(Quoted(QlxPath()) + " /RegServer"), 0);
    const std::string clsid = "{2EEDC3D9-D3C2-44F0-89C3-286D73BDD7D5}";
    const std::string appId = "{2A081A1E-7D1C-49B3-9345-7F9EF419E873}";
    const std::string libId = "{41AF1B1D-44A7-4678-97AF-838F2C6BA296}";
    const std::string key = kClsidKey;
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key, ""), RegData::String("WX2005 Class"));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key, "AppID"), RegData::String(appId));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key + "\\ProgID", ""),
              RegData::String("Quellix.QLX.1"));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key + "\\VersionIndependentProgID", ""),
              RegData::String("Quellix.QLX"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, key + "\\Programmable"));
    // A command line: quoted, so that a folder with spaces starts this
    // program and not "C:\Program.exe".
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key + "\\LocalServer32", ""),
              RegData::String(Quoted(QlxPath())));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, key + "\\TypeLib", ""), RegData::String(libId));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Quellix.QLX", ""), RegData::String("QLX Class"));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Quellix.QLX\\CLSID", ""), RegData::String(clsid));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Quellix.QLX\\CurVer", ""),
              RegData::String("Quellix.QLX.1"));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Quellix.QLX.1\\CLSID", ""),
              RegData::String(clsid));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "AppID\\" + appId, ""),
              RegData::String("Quellix"));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "AppID\\Quellix.EXE", "AppID"),
              RegData::String(appId));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "TypeLib\\" + libId + "\\1.0"));
    // Registration leaves no tray program behind and writes no options.
    EXPECT_FALSE(NamedMutexExists(kMutex));
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, kOptionsKeyPath) &&
                 Option("BlockPopup").has_value());
}

TEST_F(TrayLifeTest, ComStartsTheServerFromAFolderWithSpaces) {
    const std::string folder = "C:\\Program Files\\Quellix Test\\";
    const std::string exe = folder + "QLX.exe";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA(QlxPath().c_str(), exe.c_str(), FALSE));
    // A program where the unquoted command line would find one first.
    ASSERT_TRUE(::CopyFileA("C:\\windows\\system32\\hostname.exe", "C:\\Program Files\\Quellix.exe",
                            FALSE));
    ASSERT_EQ(RunAndWait(Quoted(exe) + " /RegServer"), 0);
    {
        HRESULT hr = E_FAIL;
        ComPtr<IWexafel2> service = Connect(&hr);
        EXPECT_TRUE(service) << std::hex << hr;
        if (service) {
            EXPECT_TRUE(Flag(&IWexafel2::get_Enable, service.get()));
        }
    }
    EXPECT_TRUE(WaitUntil([] { return CountQlxProcesses() == 0; }, 20000));
    ASSERT_EQ(RunAndWait(Quoted(QlxPath()) + " /RegServer"), 0);
    ::DeleteFileA("C:\\Program Files\\Quellix.exe");
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST_F(TrayLifeTest, ServiceAnswersEveryMemberAndBlockRecordsThroughExitAndRestart) {
    SetOption("AllowButtonNumber", RegData::Dword(2));
    SetOption("FitPopup", RegData::Dword(0));
    SetOption("AddMenu", RegData::Dword(5)); // any non-zero reads as -1
    ChildProcess tray;
    ASSERT_TRUE(StartTray(tray));
    {
        HRESULT hr = E_FAIL;
        ComPtr<IWexafel2> service = Connect(&hr);
        ASSERT_TRUE(service) << std::hex << hr;
        IWexafel2* s = service.get();
        VARIANT_BOOL raw = 0;
        EXPECT_TRUE(Flag(&IWexafel2::get_Enable, s));
        EXPECT_TRUE(Flag(&IWexafel2::get_Normalize, s));
        EXPECT_TRUE(Flag(&IWexafel2::get_Normalize2, s));
        EXPECT_FALSE(Flag(&IWexafel2::get_NormalizeFitToDesktop, s));
        EXPECT_TRUE(Flag(&IWexafel2::get_NormalizeAddBorders, s));
        EXPECT_TRUE(Flag(&IWexafel2::get_NormalizeAddMenuAndToolbar, s, &raw));
        EXPECT_EQ(raw, -1);
        EXPECT_TRUE(Flag(&IWexafel2::get_Ignore, s));
        EXPECT_FALSE(Flag(&IWexafel2::get_IgnoreCtrl, s));
        EXPECT_TRUE(Flag(&IWexafel2::get_IgnoreShift, s));
        EXPECT_FALSE(Flag(&IWexafel2::get_IgnoreAlt, s));
        VARIANT_BOOL answer = VARIANT_TRUE;
        EXPECT_EQ(s->BlockOnUserRequest(&answer), S_OK);
        EXPECT_EQ(answer, VARIANT_FALSE);
        Bstr url(L"http://a.example.com/x"), process(L"explorer.exe");
        answer = VARIANT_TRUE;
        EXPECT_EQ(s->Block2(url.get(), process.get(), 1, 2, 3, 4, &answer), S_OK);
        EXPECT_EQ(answer, VARIANT_FALSE);

        EXPECT_TRUE(Block(s, L"http://www.example.com/dir/page.html", L"http://ads.example.net/p"));
        EXPECT_FALSE(Block(s, L"http://www.example.com/", L"res://shdoclc.dll/navcancl.htm"));
        EXPECT_FALSE(Block(s, L"http://www.example.com/", L"about:NavigationCanceled"));
        EXPECT_TRUE(Block(s, L"", L"", 1, 2, 3, 4)); // both addresses empty

        // Late binding through the type library, as script clients call.
        UINT count = 0;
        EXPECT_EQ(s->GetTypeInfoCount(&count), S_OK);
        EXPECT_EQ(count, 1u);
        ComPtr<ITypeInfo> info;
        EXPECT_EQ(s->GetTypeInfo(1, 0, info.put()), DISP_E_BADINDEX);
        LPOLESTR name = const_cast<LPOLESTR>(L"IgnoreShift");
        DISPID id = 0;
        ASSERT_EQ(s->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, 12);
        id = 0; // the service has never checked the reserved IID
        EXPECT_EQ(s->GetIDsOfNames(IID_IWexafel2, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, 12);
        DISPPARAMS none{};
        VARIANT result;
        ::VariantInit(&result);
        ASSERT_EQ(
            s->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
            S_OK);
        EXPECT_EQ(result.vt, VT_BOOL);
        EXPECT_EQ(result.boolVal, VARIANT_TRUE);
    }

    // "No" changes nothing.
    HWND main = FindMainWindow(tray.Id());
    ASSERT_TRUE(main);
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x8009, 0));
    HWND box = nullptr;
    ASSERT_TRUE(WaitForMessageBox(tray.Id(), 10000, &box));
    const std::string texts = ChildTexts(box);
    EXPECT_NE(texts.find("Do you really want to close Quellix and disable protection?"),
              std::string::npos)
        << texts;
    char caption[64] = {};
    ::GetWindowTextA(box, caption, sizeof caption);
    EXPECT_STREQ(caption, "Quellix");
    char yes[32] = {}, no[32] = {};
    ::GetWindowTextA(::GetDlgItem(box, IDYES), yes, sizeof yes);
    ::GetWindowTextA(::GetDlgItem(box, IDNO), no, sizeof no);
    EXPECT_STREQ(yes, "Yes"); // captions from the string table
    EXPECT_STREQ(no, "No");
    ASSERT_TRUE(PressButton(box, IDNO));
    ASSERT_TRUE(WaitUntil([&] { return FindMessageBox(tray.Id()) == nullptr; }, 10000));
    EXPECT_TRUE(tray.Running());
    EXPECT_FALSE(Option("PopupBlockedTotal_Count").has_value());

    DWORD code = 99;
    ASSERT_TRUE(ExitTray(tray, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(NamedMutexExists(kMutex));
    EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(2));
    EXPECT_EQ(Option("PopupBlockedToday_Count"), RegData::Dword(2));
    EXPECT_EQ(Option("AllowButtonNumber"), RegData::Dword(2));
    EXPECT_EQ(Option("AddMenu"), RegData::Dword(1));
    EXPECT_EQ(Option("FitPopup"), RegData::Dword(0));
    EXPECT_EQ(Option("BlockPopup"), RegData::Dword(1));
    EXPECT_EQ(Option("minibar_dx"), RegData::Dword(352));
    auto today = Option("today_time");
    ASSERT_TRUE(today);
    EXPECT_EQ(today->bytes.size(), 11u); // "YYYY-MM-DD" and its zero
    EXPECT_EQ(Win32Registry().GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix"),
              RegData::String(Quoted(QlxPath())));

    History history = ReadHistoryFile();
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].siteAddress, "http://www.example.com");
    EXPECT_EQ(history[0].popupAddress, "http://ads.example.net/p");
    EXPECT_EQ(history[0].width, 300u);
    EXPECT_EQ(history[1].siteAddress, "");
    EXPECT_EQ(history[1].popupAddress, "");
    EXPECT_EQ(history[1].left, 1u);
    EXPECT_EQ(history[1].height, 4u);

    // The next start reads it all back, and appends.
    ChildProcess again;
    ASSERT_TRUE(StartTray(again));
    {
        ComPtr<IWexafel2> service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"https://b.example.org/q", L"https://c.example.org/r"));
    }
    ASSERT_TRUE(ExitTray(again, &code));
    EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(3));
    History after = ReadHistoryFile();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], history[0]);
    EXPECT_EQ(after[1], history[1]);
    EXPECT_EQ(after[2].siteAddress, "https://b.example.org");
}

TEST_F(TrayLifeTest, AHistoryLockedAtStartIsNotWrittenOverAtExit) {
    // A history of three entries, held open without sharing while the tray
    // program starts (as a scanner might): it cannot be read.
    const History saved = {
        {"2026-12-01 10:00:00", "http://a.example.com", "http://a.example.com/1", 1, 2, 3, 4},
        {"2026-12-01 10:00:01", "", "", 5, 6, 7, 8},
        {"2026-12-01 10:00:02", "http://c.example.com", "http://c.example.com/3", 9, 10, 11, 12}};
    const std::string text = WriteHistoryText(saved);
    {
        UniqueHandle file(::CreateFileA(HistoryFilePath().c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, 0, nullptr));
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                                nullptr));
    }
    UniqueHandle lock(::CreateFileA(HistoryFilePath().c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    ChildProcess tray;
    ASSERT_TRUE(StartTray(tray));
    lock.reset();
    {
        ComPtr<IWexafel2> service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"http://d.example.com/4", L"http://d.example.com/5"));
    }
    ASSERT_TRUE(ExitTray(tray));
    EXPECT_EQ(ReadHistoryFile(), saved);                             // the three entries, untouched
    EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(1)); // the rest was saved

    // Unlocked, the next run reads it and adds to it.
    ASSERT_TRUE(StartTray(tray));
    {
        ComPtr<IWexafel2> service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"http://d.example.com/4", L"http://d.example.com/5"));
    }
    ASSERT_TRUE(ExitTray(tray));
    EXPECT_EQ(ReadHistoryFile().size(), 4u);
}

TEST_F(TrayLifeTest, SplashShowsTheVersionWhileTheServiceAnswers) {
    ChildProcess tray;
    ASSERT_TRUE(StartTray(tray));
    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (splash = FindSplash(tray.Id())) != nullptr; }, 5000));
    char caption[64] = {}, version[64] = {};
    ::GetWindowTextA(splash, caption, sizeof caption);
    ::GetWindowTextA(::GetDlgItem(splash, 1005), version, sizeof version);
    EXPECT_STREQ(caption, "Quellix");
    EXPECT_STREQ(version, "Version: " QLX_VERSION_TEXT); // the first word of "version.dat"
    {
        // The main thread keeps serving calls while the splash is up.
        const ULONGLONG before = ::GetTickCount64();
        ComPtr<IWexafel2> service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Flag(&IWexafel2::get_Enable, service.get()));
        EXPECT_LT(::GetTickCount64() - before, 1500u);
    }
    EXPECT_TRUE(WaitUntil([&] { return FindSplash(tray.Id()) == nullptr; }, 10000));
    EXPECT_FALSE(::IsWindowVisible(FindMainWindow(tray.Id()))); // the main window stays hidden
    ASSERT_TRUE(ExitTray(tray));
}

TEST_F(TrayLifeTest, SecondInstanceExitsSilentlyAndLeavesTheFirstRunning) {
    ChildProcess first;
    ASSERT_TRUE(StartTray(first));
    ExpectSecondStartEndsSilently();

    EXPECT_TRUE(first.Running());
    EXPECT_TRUE(NamedMutexExists(kMutex));
    {
        ComPtr<IWexafel2> service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"http://a.example.com/1", L"http://b.example.com/2"));
    }
    DWORD code = 99;
    ASSERT_TRUE(ExitTray(first, &code));
    EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(1));
}

TEST_F(TrayLifeTest, AMutexItMayNotOpenAlsoMeansAnotherInstanceRuns) {
    // As left by a first instance that runs elevated: the mutex exists, and
    // its empty access list lets nobody else open it.
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ACL acl;
    ::InitializeAcl(&acl, sizeof acl, ACL_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, &acl, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, &descriptor, FALSE};
    UniqueHandle held(::CreateMutexA(&attributes, FALSE, kMutex));
    ASSERT_TRUE(held);
    UniqueHandle probe(::CreateMutexA(nullptr, FALSE, kMutex));
    ASSERT_FALSE(probe) << "the access list is not enforced here";
    ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ExpectSecondStartEndsSilently();
}

TEST_F(TrayLifeTest, StartedByComItServesFactorySettingsAndWritesNothing) {
    SetOption("BlockPopup", RegData::Dword(0));
    SetOption("AllowButtonNumber", RegData::Dword(1));
    ASSERT_EQ(CountQlxProcesses(), 0u);
    {
        // No tray program runs: COM starts QLX.exe with its embedding switch.
        HRESULT hr = E_FAIL;
        ComPtr<IWexafel2> service = Connect(&hr);
        ASSERT_TRUE(service) << std::hex << hr;
        EXPECT_EQ(CountQlxProcesses(), 1u);
        EXPECT_FALSE(NamedMutexExists(kMutex));
        EXPECT_TRUE(Flag(&IWexafel2::get_Enable, service.get()));     // not the stored 0
        EXPECT_TRUE(Flag(&IWexafel2::get_IgnoreCtrl, service.get())); // factory key 3
        EXPECT_FALSE(Flag(&IWexafel2::get_IgnoreAlt, service.get()));
        EXPECT_TRUE(Block(service.get(), L"http://a.example.com/1", L"http://b.example.com/2"));
        // A second object of the same server: a fresh instance, same values.
        ComPtr<IWexafel2> other = Connect();
        ASSERT_TRUE(other);
        EXPECT_NE(static_cast<void*>(other.get()), static_cast<void*>(service.get()));
    }
    // The last release ends the server.
    EXPECT_TRUE(WaitUntil([] { return CountQlxProcesses() == 0; }, 20000));
    EXPECT_EQ(Option("BlockPopup"), RegData::Dword(0));
    EXPECT_FALSE(Option("PopupBlockedTotal_Count").has_value());
    EXPECT_EQ(::GetFileAttributesA(HistoryFilePath().c_str()), INVALID_FILE_ATTRIBUTES);

    // A normal start afterwards still succeeds.
    ChildProcess tray;
    ASSERT_TRUE(StartTray(tray));
    ASSERT_TRUE(ExitTray(tray));
}

TEST_F(TrayLifeTest, MissingVersionFileIsReportedAndStartGoesOn) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "qlx_no_version\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "QLX.exe";
    ASSERT_TRUE(::CopyFileA(QlxPath().c_str(), exe.c_str(), FALSE));
    ::DeleteFileA((folder + "version.dat").c_str());

    ChildProcess tray;
    ASSERT_TRUE(tray.Start(Quoted(exe)));
    HWND box = nullptr;
    ASSERT_TRUE(WaitForMessageBox(tray.Id(), 20000, &box));
    const std::string texts = ChildTexts(box);
    EXPECT_NE(texts.find("File version.dat is absent or corrupted."), std::string::npos) << texts;
    EXPECT_FALSE(NamedMutexExists(kMutex)); // the question comes before the mutex
    ASSERT_TRUE(PressButton(box, IDOK));
    ASSERT_TRUE(qlx::testing::WaitForNamedMutex(kMutex, 20000));
    ASSERT_TRUE(WaitUntil([&] { return FindMainWindow(tray.Id()) != nullptr; }, 20000));
    DWORD code = 99;
    ASSERT_TRUE(ExitTray(tray, &code));
    EXPECT_EQ(code, 0u);
    ::DeleteFileA(exe.c_str());
    ::RemoveDirectoryA(folder.c_str());
}

} // namespace
} // namespace qlx::tray::testing
