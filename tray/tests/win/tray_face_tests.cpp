// What a user sees of QLX.exe, driven from outside on an X server: the main
// window from the tray icon, its values, list and buttons; the minibar; the
// blocked-pop-up tips; modal dialogs; reopening through the browser object.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>

#include "common/core/dpi_scale.h"
#include "common/win32/com_ptr.h"
#include "common/win32/gdi.h"
#include "common/win32/text_conv.h"
#include "tray/core/notification_rules.h"
#include "tray/core/system_integration.h"
#include "tray/tests/win/popup_client.h"

namespace qlx::tray::testing {
namespace {

using qlx::testing::ChildProcess;
using qlx::testing::NamedMutexExists;
using qlx::testing::RunAndWait;
using qlx::testing::WaitUntil;

enum : int {
    kList = 1001,
    kOpen = 1002,
    kRemove = 1003,
    kClear = 1004,
    kLastPopup = 1071,
    kPopupedAt = 1073,
    kToday = 1075,
    kTotal = 1077,
    kMiniClose = 1061,
    kMiniEnable = 1063,
    kMiniMain = 1065,
    kTipText = 1068,
};

void SeedHistory(const History& history) {
    const std::string path = HistoryFilePath();
    ::CreateDirectoryA(path.substr(0, path.find_last_of('\\')).c_str(), nullptr);
    std::ofstream(path, std::ios::binary) << WriteHistoryText(history);
}

std::string Value(HWND main, int control) {
    return ControlText(main, control);
}

LRESULT Rows(HWND main) {
    return ::SendMessageA(::GetDlgItem(main, kList), LVM_GETITEMCOUNT, 0, 0);
}

void SelectRow(const ChildProcess& process, HWND main, int row) {
    ASSERT_TRUE(SelectRemoteRow(process.Handle(), ::GetDlgItem(main, kList), row)) << row;
}

// Presses a button the way a click does, without waiting for what it opens.
void Press(HWND window, int control) {
    ASSERT_TRUE(::PostMessageA(::GetDlgItem(window, control), BM_CLICK, 0, 0)) << control;
}

HWND AnswerBox(const ChildProcess& process, int button, std::string* text = nullptr) {
    HWND box = nullptr;
    EXPECT_TRUE(WaitForMessageBox(process.Id(), 10000, &box));
    if (box && text) {
        *text = ChildTexts(box);
    }
    EXPECT_TRUE(box && PressButton(box, button));
    // Gone before the next step looks for a box: a loaded machine may still
    // show this one when the next question is asked.
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); }, 10000));
    return box;
}

RECT ChildRect(HWND parent, int control) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(parent, control), &rect);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Real mouse and keyboard input, as the X server delivers it.
void MouseTo(POINT at) {
    ::SetCursorPos(at.x, at.y);
    ::Sleep(50);
}

void MouseButton(bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    ::SendInput(1, &input, sizeof input);
    ::Sleep(50);
}

void ClickAt(POINT at) {
    MouseTo(at);
    MouseButton(true);
    MouseButton(false);
}

void Key(WORD key) {
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, input, sizeof input[0]);
    ::Sleep(50);
}

// The middle of item `index` of a strip of `count` equal items.
POINT StripItem(HWND main, int strip, int index, int count) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(main, strip), &rect);
    const int width = (rect.right - rect.left - 4) / count;
    return {rect.left + 2 + width * index + width / 2, (rect.top + rect.bottom) / 2};
}

// The controls the Tab key visits, in order.
std::vector<int> TabOrder(HWND dialog) {
    std::vector<int> order;
    HWND first = ::GetNextDlgTabItem(dialog, nullptr, FALSE);
    for (HWND at = first; at && order.size() < 32;) {
        order.push_back(::GetDlgCtrlID(at));
        at = ::GetNextDlgTabItem(dialog, at, FALSE);
        if (at == first) {
            break;
        }
    }
    return order;
}

class TrayFaceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RunAndWait(Quoted(QlxPath()) + " /RegServer"), 0); }
    void SetUp() override {
        ASSERT_FALSE(NamedMutexExists(kMutex)) << "a tray program is already running";
        ResetUserState();
    }
    void Start(const std::string& exe = QlxPath()) {
        ASSERT_TRUE(StartTray(tray, exe));
        main = FindMainWindow(tray.Id());
        ASSERT_NE(main, nullptr);
        // The main window exists before its initialisation has run.
        ASSERT_TRUE(WaitUntil(
            [&] {
                const std::string today = Value(main, kToday);
                return !today.empty() && isdigit(static_cast<unsigned char>(today[0]));
            },
            10000));
    }
    void Exit() { ASSERT_TRUE(ExitTray(tray)); }
    // A case that failed half way still ends the program the normal way: a
    // killed local server stays registered in Wine's rpcss and every later
    // case of the prefix would fail to reach it.
    void TearDown() override {
        if (tray.Running() && !ExitTray(tray)) {
            tray.Kill();
        }
    }

    // A taskbar stood in on an edge: where the main window's sides must lie
    // (-1: anywhere).
    struct TaskbarCase {
        const char* edge;
        RECT bar;
        int left, top, right, bottom;
    };
    // Starts the program with that taskbar and opens the main window from
    // the tray icon; checks its sides and that it keeps off the taskbar.
    RECT OpenBeside(const TaskbarCase& c) {
        // Wine's shell knows only a taskbar at the bottom; the program's own
        // switch stands the others in.
        const std::string bar = std::string(c.edge) + " " + std::to_string(c.bar.left) + " " +
                                std::to_string(c.bar.top) + " " + std::to_string(c.bar.right) +
                                " " + std::to_string(c.bar.bottom);
        ::SetEnvironmentVariableA("QLX_TASKBAR", bar.c_str());
        Start();
        ::SetEnvironmentVariableA("QLX_TASKBAR", nullptr);
        RECT rect{};
        EXPECT_TRUE(ClickTrayIcon(main));
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
        ::GetWindowRect(main, &rect);
        for (auto [side, want] : {std::pair{rect.left, c.left},
                                  {rect.top, c.top},
                                  {rect.right, c.right},
                                  {rect.bottom, c.bottom}}) {
            if (want >= 0) {
                EXPECT_EQ(side, want);
            }
        }
        RECT overlap{};
        EXPECT_FALSE(::IntersectRect(&overlap, &rect, &c.bar));
        return rect;
    }

    Apartment apartment;
    ChildProcess tray;
    HWND main = nullptr;
};

TEST_F(TrayFaceTest, TrayClickTogglesTheMainWindowAtTheLowerRightWithItsValues) {
    SetOption("PopupBlockedTotal_Count", RegData::Dword(7));
    Start();
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_EQ(Value(main, kLastPopup), " ");
    EXPECT_EQ(Value(main, kPopupedAt), " ");
    EXPECT_EQ(Value(main, kToday), "0");
    EXPECT_EQ(Value(main, kTotal), "7");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, kClear)));
    // The icon is in the notification area: only then can another process
    // modify it.
    NOTIFYICONDATAA icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = main;
    icon.uID = 3334;
    EXPECT_TRUE(::Shell_NotifyIconA(NIM_MODIFY, &icon));
    // A taskbar made anew (Explorer restarted) starts empty; the program
    // puts its icon back when the new one announces itself.
    ASSERT_TRUE(::Shell_NotifyIconA(NIM_DELETE, &icon));
    EXPECT_FALSE(::Shell_NotifyIconA(NIM_MODIFY, &icon));
    ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; }, 5000));

    ASSERT_TRUE(ClickTrayIcon(main));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    RECT rect{};
    ::GetWindowRect(main, &rect);
    EXPECT_EQ(rect.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(rect.bottom, ::GetSystemMetrics(SM_CYMAXIMIZED) - 12);

    HRESULT hr = S_OK;
    auto service = Connect(&hr);
    ASSERT_TRUE(service) << std::hex << hr;
    EXPECT_TRUE(
        Block(service.get(), L"http://www.example.com/page", L"http://ads.example.net/one"));
    EXPECT_TRUE(Block(service.get(), L"", L"http://ads.example.net/two"));
    EXPECT_EQ(Value(main, kLastPopup), "http://ads.example.net/two");
    EXPECT_EQ(Value(main, kPopupedAt).size(), 19u);
    EXPECT_EQ(Value(main, kToday), "2");
    EXPECT_EQ(Value(main, kTotal), "9");
    EXPECT_EQ(Rows(main), 2);
    HWND list = ::GetDlgItem(main, kList);
    EXPECT_EQ(RemoteItemText(tray.Handle(), list, 0, 1), "http://ads.example.net/two");
    EXPECT_EQ(RemoteItemText(tray.Handle(), list, 1, 1), "http://ads.example.net/one");
    EXPECT_EQ(RemoteItemText(tray.Handle(), list, 0, 0), Value(main, kPopupedAt));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, kClear)));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, kRemove)));

    ASSERT_TRUE(ClickTrayIcon(main));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }, 5000));
    Exit();
}

TEST_F(TrayFaceTest, ATaskbarOnAnotherEdgeOpensTheMainWindowBesideItsCorner) {
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    const TaskbarCase cases[] = {
        {"left", {0, 0, 48, height}, 48, -1, -1, height},
        {"top", {0, 0, width, 40}, -1, 40, width, -1},
        {"right", {width - 48, 0, width, height}, -1, -1, width - 48, height},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        OpenBeside(c);
        Exit();
    }
}

TEST_F(TrayFaceTest, RemoveDeletesTheSelectedEntriesAndClearKeepsTheCounters) {
    SeedHistory({{"2026-12-01 10:00:00", "http://a.com", "http://a.com/oldest", 1, 2, 3, 4},
                 {"2026-12-02 10:00:00", "http://b.com", "http://b.com/middle", 5, 6, 7, 8},
                 {"2026-12-03 10:00:00", "http://c.com", "http://c.com/newest", 9, 10, 11, 12}});
    SetOption("PopupBlockedTotal_Count", RegData::Dword(3));
    Start();
    ASSERT_EQ(Rows(main), 3);
    EXPECT_EQ(RemoteItemText(tray.Handle(), ::GetDlgItem(main, kList), 0, 1),
              "http://c.com/newest");
    SelectRow(tray, main, 0); // rows are newest first
    SelectRow(tray, main, 2);
    ASSERT_TRUE(
        WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(main, kRemove)) != FALSE; }, 5000));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, kOpen)));
    // A pop-up blocked meanwhile comes first; the selection stays on its entries.
    {
        auto service = Connect();
        ASSERT_TRUE(service);
        ASSERT_TRUE(Block(service.get(), L"http://d.com", L"http://d.com/blocked"));
    }
    ASSERT_EQ(Rows(main), 4);
    Press(main, kRemove);
    std::string question;
    AnswerBox(tray, IDYES, &question);
    EXPECT_NE(question.find("Are you sure you want to delete item(s) from list?"),
              std::string::npos);
    ASSERT_TRUE(WaitUntil([&] { return Rows(main) == 2; }, 5000));
    EXPECT_EQ(Value(main, kLastPopup), "http://d.com/blocked");
    Exit();
    const History left = ReadHistoryFile();
    ASSERT_EQ(left.size(), 2u);
    EXPECT_EQ(left[0].popupAddress, "http://b.com/middle");
    EXPECT_EQ(left[0].left, 5u);
    EXPECT_EQ(left[1].popupAddress, "http://d.com/blocked");

    Start();
    Press(main, kClear);
    AnswerBox(tray, IDNO);
    Press(main, kClear);
    AnswerBox(tray, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return Rows(main) == 0; }, 5000));
    EXPECT_EQ(Value(main, kLastPopup), " ");
    EXPECT_EQ(Value(main, kTotal), "4");
    Exit();
    EXPECT_TRUE(ReadHistoryFile().empty());
    EXPECT_EQ(Option("PopupBlockedTotal_Count"), RegData::Dword(4));
}

TEST_F(TrayFaceTest, MiniBarFromStoredPlaceCompactsSwitchesBlockingAndStaysClosed) {
    const int width = ::GetSystemMetrics(SM_CXFULLSCREEN);
    SetOption("minibar_dx", RegData::Dword(static_cast<uint32_t>(width + 100))); // off the left
    SetOption("minibar_dy", RegData::Dword(40));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(::IsWindowVisible(bar));
    RECT rect{};
    ::GetWindowRect(bar, &rect);
    EXPECT_EQ(rect.left, -100);
    EXPECT_EQ(rect.top, 40);
    EXPECT_EQ(rect.right - rect.left, 252);
    EXPECT_EQ(rect.bottom - rect.top, 34);

    // The compact form leaves what it cuts off out of the tab order.
    const std::pair<int, std::vector<int>> layouts[] = {
        {32, {kMiniMain, kMiniClose, 1059}},
        {233, {kMiniMain, 1064, kMiniEnable, 1062, kMiniClose, 1059}},
    };
    for (const auto& [closeLeft, tabOrder] : layouts) {
        Press(bar, kMiniMain);
        EXPECT_TRUE(WaitUntil([&] { return ChildRect(bar, kMiniClose).left == closeLeft; }, 5000))
            << closeLeft;
        EXPECT_EQ(TabOrder(bar), tabOrder);
    }

    HRESULT hr = S_OK;
    auto service = Connect(&hr);
    ASSERT_TRUE(service) << std::hex << hr;
    EXPECT_EQ(ControlText(bar, kMiniEnable), "Enable blocking");
    for (bool expected : {false, true}) {
        Press(bar, kMiniEnable);
        EXPECT_TRUE(WaitUntil(
            [&] {
                VARIANT_BOOL enabled = 0;
                service->get_Enable(&enabled);
                return (enabled == VARIANT_TRUE) == expected;
            },
            5000));
        EXPECT_EQ(ControlText(bar, kMiniEnable), expected ? "Enable blocking" : "Disable blocking");
    }
    service = {};

    Press(bar, kMiniClose);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(bar); }, 5000));
    Exit();
    EXPECT_EQ(Option("ShowMiniBar"), RegData::Dword(0));
    EXPECT_EQ(Option("minibar_dx"), RegData::Dword(static_cast<uint32_t>(width + 100)));

    Start();
    bar = FindMiniBar(tray.Id());
    ASSERT_NE(bar, nullptr);
    ::Sleep(300);
    EXPECT_FALSE(::IsWindowVisible(bar));
    Exit();
}

// The minibar put at (x, y), then told that the display changed: it must
// end at `expected`.
struct BarMove {
    int x, y;
    POINT expected;
};

template <size_t N> void ExpectMovesAfterADisplayChange(HWND bar, const BarMove (&moves)[N]) {
    auto place = [&] {
        RECT rect{};
        ::GetWindowRect(bar, &rect);
        return POINT{rect.left, rect.top};
    };
    for (const auto& move : moves) {
        ::SetWindowPos(bar, nullptr, move.x, move.y, 0, 0,
                       SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ::SendMessageA(
            bar, WM_DISPLAYCHANGE, 32,
            MAKELPARAM(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)));
        EXPECT_TRUE(WaitUntil(
            [&] { return place().x == move.expected.x && place().y == move.expected.y; }, 3000))
            << move.x << "," << move.y << " -> " << place().x << "," << place().y;
    }
}

TEST_F(TrayFaceTest, MiniBarOffEveryMonitorComesBackAtStartAndWhenTheDisplayChanges) {
    const int width = ::GetSystemMetrics(SM_CXFULLSCREEN);
    SetOption("minibar_dx", RegData::Dword(static_cast<uint32_t>(width + 400))); // wholly off
    SetOption("minibar_dy", RegData::Dword(40));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    ASSERT_NE(bar, nullptr);
    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    auto place = [&] {
        RECT rect{};
        ::GetWindowRect(bar, &rect);
        return POINT{rect.left, rect.top};
    };
    EXPECT_EQ(place().x, work.left);
    EXPECT_EQ(place().y, 40);
    // The display shrank under it: the next display change brings it back.
    const BarMove moves[] = {
        {work.right + 50, 60, {work.right - 252, 60}},
        {300, work.bottom + 500, {300, work.bottom - 34}},
        {-100, 60, {-100, 60}}, // partly on a monitor: left where it is
    };
    ExpectMovesAfterADisplayChange(bar, moves);
    Exit();
}

// The same program on two monitors side by side (run by two_monitor_test.sh,
// whose X server shows them; the one-screen runs leave these cases out).
class TwoMonitorTest : public TrayFaceTest {
protected:
    void SetUp() override {
        TrayFaceTest::SetUp();
        // The second monitor lies right of the primary one, so that a place
        // on it is off the primary one.
        ASSERT_EQ(::GetSystemMetrics(SM_CMONITORS), 2);
        second.cbSize = sizeof second;
        ASSERT_TRUE(::GetMonitorInfoA(
            ::MonitorFromPoint({::GetSystemMetrics(SM_CXSCREEN), 0}, MONITOR_DEFAULTTONULL),
            &second));
    }
    MONITORINFO second{};
};

TEST_F(TwoMonitorTest, ATaskbarOnTheSecondMonitorTakesTheMainWindowAndTheTipsThere) {
    const RECT m = second.rcMonitor;
    const RECT work = second.rcWork;
    const TaskbarCase cases[] = {
        {"bottom", {m.left, m.bottom - 40, m.right, m.bottom}, -1, -1, m.right, m.bottom - 40},
        // Beside the primary monitor: the window must not slip over onto it.
        {"left", {m.left, m.top, m.left + 48, m.bottom}, m.left + 48, -1, -1, m.bottom},
        {"top", {m.left, m.top, m.right, m.top + 40}, -1, m.top + 40, m.right, -1},
        {"right", {m.right - 48, m.top, m.right, m.bottom}, -1, -1, m.right - 48, m.bottom},
    };
    SetOption("ShowToolTip_Time", RegData::Dword(30));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.edge);
        RECT rect = OpenBeside(c);
        RECT inside{};
        EXPECT_TRUE(::IntersectRect(&inside, &rect, &work) && ::EqualRect(&inside, &rect))
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;

        // A blocked pop-up's tip: in the lower right of that monitor's work area.
        auto service = Connect();
        ASSERT_TRUE(service);
        ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/m"));
        ASSERT_TRUE(WaitUntil([&] { return !FindTips(tray.Id()).empty(); }, 5000));
        ::GetWindowRect(FindTips(tray.Id()).front(), &rect);
        EXPECT_EQ((TipRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}),
                  PlaceTip(work.right, work.bottom));
        service = {};
        Exit();
    }
}

TEST_F(TwoMonitorTest, AMinibarKeepsToItsMonitorOrComesBackToTheNearest) {
    const RECT work = second.rcWork;
    // Stored as the distance from the primary screen's right edge, so a
    // place on the second monitor is stored negative.
    const int full = ::GetSystemMetrics(SM_CXFULLSCREEN);
    const POINT stored{work.left + 200, work.top + 100};
    SetOption("minibar_dx", RegData::Dword(static_cast<uint32_t>(full - stored.x)));
    SetOption("minibar_dy", RegData::Dword(static_cast<uint32_t>(stored.y)));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    ASSERT_NE(bar, nullptr);
    RECT rect{};
    auto place = [&] {
        ::GetWindowRect(bar, &rect);
        return POINT{rect.left, rect.top};
    };
    EXPECT_EQ(place().x, stored.x);
    EXPECT_EQ(place().y, stored.y);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    // Off both monitors, nearest to the second: back onto it.
    const BarMove moves[] = {
        {work.left + 200, work.bottom + 100, {work.left + 200, work.bottom - height}},
        {work.right + 300, work.top + 50, {work.right - width, work.top + 50}},
        // Across both monitors: left where it is.
        {work.left - width / 2, 60, {work.left - width / 2, 60}},
    };
    ExpectMovesAfterADisplayChange(bar, moves);
    Exit();
}

TEST_F(TrayFaceTest, TipsShowTheAddressAtTheirPlaceAndCloseAfterTheirTime) {
    SetOption("ShowToolTip_Time", RegData::Dword(2));
    Start();
    HRESULT hr = S_OK;
    auto service = Connect(&hr);
    ASSERT_TRUE(service) << std::hex << hr;
    ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/a"));
    LARGE_INTEGER frequency, returned, visible;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&returned);
    ASSERT_TRUE(WaitUntil([&] { return !FindTips(tray.Id()).empty(); }, 5000));
    ::QueryPerformanceCounter(&visible);
    std::printf("Block returned -> tip visible: %.1f ms\n",
                1000.0 * static_cast<double>(visible.QuadPart - returned.QuadPart) /
                    static_cast<double>(frequency.QuadPart));
    ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/b"));
    ASSERT_TRUE(WaitUntil([&] { return FindTips(tray.Id()).size() == 2; }, 5000));

    RECT work{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const TipRect place = PlaceTip(work.right, work.bottom);
    std::vector<std::string> texts;
    for (HWND tip : FindTips(tray.Id())) {
        RECT rect{};
        ::GetWindowRect(tip, &rect);
        EXPECT_EQ((TipRect{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}),
                  place);
        texts.push_back(ControlText(tip, kTipText));
    }
    std::sort(texts.begin(), texts.end());
    // A click closes the one on top at once.
    ClickAt({place.left + 100, place.top + 50});
    EXPECT_TRUE(WaitUntil([&] { return FindTips(tray.Id()).size() == 1; }, 1000));
    EXPECT_EQ(texts,
              (std::vector<std::string>{"http://ads.example.net/a", "http://ads.example.net/b"}));
    EXPECT_TRUE(WaitUntil([&] { return FindTips(tray.Id()).empty(); }, 4000));

    // A flood of pop-ups does not make a tip (and a thread) each.
    for (int i = 0; i < 12; ++i) {
        Block(service.get(), L"http://www.example.com", L"http://ads.example.net/flood");
    }
    size_t most = 0;
    WaitUntil(
        [&] {
            most = std::max(most, FindTips(tray.Id()).size());
            return false;
        },
        1000);
    EXPECT_EQ(most, static_cast<size_t>(kMaxTipsAtOnce));
    EXPECT_TRUE(WaitUntil([&] { return FindTips(tray.Id()).empty(); }, 4000));
    Exit();

    SetOption("AllowRequestedPopup", RegData::Dword(1));
    Start();
    service = Connect();
    ASSERT_TRUE(service);
    ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/c"));
    EXPECT_FALSE(WaitUntil([&] { return !FindTips(tray.Id()).empty(); }, 1000));
    EXPECT_EQ(Value(main, kTotal), "15");
    service = {};
    Exit();
}

// Waits while pumping this thread's messages, for a window of the test.
bool PumpUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    return WaitUntil(
        [&] {
            MSG msg;
            while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageA(&msg);
            }
            return condition();
        },
        timeoutMs);
}

TEST_F(TrayFaceTest, TipsLeaveTheKeyboardWithTheProgramTheUserTypesIn) {
    SetOption("ShowToolTip_Time", RegData::Dword(2));
    Start();
    // Another program's window with an edit box, where the user types.
    HWND page = ::CreateWindowExA(0, "#32770", "Typing", WS_POPUP | WS_CAPTION | WS_VISIBLE, 100,
                                  100, 300, 120, nullptr, nullptr, nullptr, nullptr);
    HWND edit = ::CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER, 10, 10, 260, 24,
                                  page, nullptr, nullptr, nullptr);
    ASSERT_TRUE(page && edit);
    ::SetForegroundWindow(page);
    ::SetFocus(edit);
    ASSERT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == page; }, 5000));
    auto typed = [&] {
        char text[64] = {};
        ::GetWindowTextA(edit, text, sizeof text);
        return std::string(text);
    };
    auto service = Connect();
    ASSERT_TRUE(service);
    std::string expected;
    for (WORD key : {'A', 'B'}) {
        ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/k"));
        ASSERT_TRUE(PumpUntil([&] { return !FindTips(tray.Id()).empty(); }, 5000));
        Key(key);
        expected += static_cast<char>(tolower(key));
        EXPECT_TRUE(PumpUntil([&] { return typed() == expected; }, 2000)) << typed();
        EXPECT_EQ(::GetForegroundWindow(), page);
        EXPECT_EQ(::GetFocus(), edit);
    }
    EXPECT_TRUE(PumpUntil([&] { return FindTips(tray.Id()).empty(); }, 5000));
    EXPECT_EQ(::GetForegroundWindow(), page);
    service = {};
    ::DestroyWindow(page);
    Exit();
}

TEST_F(TrayFaceTest, TrayClickWhileTheAboutBoxIsOpenLeavesTheMainWindowAlone) {
    // A tone and a sound file that cannot be played make no message either.
    SetOption("BeepViaPCSpeaker", RegData::Dword(1));
    SetOption("PlaySoundFile", RegData::Dword(1));
    SetOption("SoundFileName", RegData::String("C:\\no\\such.wav"));
    Start();
    {
        auto service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/x"));
    }
    ::Sleep(300);
    EXPECT_EQ(FindMessageBox(tray.Id()), nullptr);
    HWND bar = FindMiniBar(tray.Id());
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x800A, 0));
    HWND about = nullptr;
    ASSERT_TRUE(WaitForMessageBox(tray.Id(), 10000, &about));
    EXPECT_NE(ChildTexts(about).find("Version: "), std::string::npos);
    EXPECT_FALSE(::IsWindowEnabled(bar));
    ASSERT_TRUE(ClickTrayIcon(main));
    ::Sleep(300);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_TRUE(::IsWindowVisible(about));
    // Exit is refused while it is open.
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x8009, 0));
    ::Sleep(300);
    EXPECT_EQ(FindMessageBox(tray.Id()), about);
    ASSERT_TRUE(PressButton(about, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(bar) != FALSE; }, 5000));
    Exit();
}

// The settings dialog, its pages and their controls.
enum : int {
    kSettingsOk = 1020,
    kSettingsCancel = 1021,
    kSettingsDefaults = 1022,
    kSettingsTabs = 1023,
    kGeneralPage = 104,
    kAdvancedPage = 105,
    kStartWithWindows = 1026,
    kShowTip = 1032,
    kPlaySound = 1034,
    kOnSequence = 1035,
    kKeyList = 1037,
    kSeconds = 1041,
    kSoundFile = 1042,
    kSoundOpen = 1043,
    kAddMenu = 1051,
};

HWND OpenSettings(const ChildProcess& tray, HWND main) {
    EXPECT_TRUE(::PostMessageA(main, WM_COMMAND, 0x800B, 0));
    HWND dialog = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto found = FindWindowsWith(tray.Id(), "#32770", kSettingsTabs, true);
            dialog = found.empty() ? nullptr : found.front();
            return dialog != nullptr;
        },
        10000));
    return dialog;
}

bool OptionIs(const char* name, uint32_t value) {
    return WaitUntil([&] { return Option(name) == RegData::Dword(value); }, 5000);
}

bool HasRunEntry() {
    Win32Registry registry;
    return registry.GetValue(RegRoot::LocalMachine, kRunKeyPath, "Quellix").has_value() ||
           registry.GetValue(RegRoot::CurrentUser, kRunKeyPath, "Quellix").has_value();
}

// An edit control's text: another process's control answers only WM_GETTEXT.
std::string EditText(HWND page, int control) {
    char text[MAX_PATH] = {};
    ::SendDlgItemMessageA(page, control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return text;
}

bool Checked(HWND page, int control) {
    return ::SendDlgItemMessageA(page, control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

TEST_F(TrayFaceTest, SettingsApplyEachChangeAtOnceAndCancelRestoresThemAfterExit) {
    SetOption("StartWithStartup", RegData::Dword(0));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    HWND dialog = OpenSettings(tray, main);
    ASSERT_NE(dialog, nullptr);
    HWND general = ::GetDlgItem(dialog, kGeneralPage);
    HWND advanced = ::GetDlgItem(dialog, kAdvancedPage);
    EXPECT_TRUE(::IsWindowVisible(general));
    EXPECT_FALSE(::IsWindowVisible(advanced));
    EXPECT_FALSE(::IsWindowEnabled(bar));
    // Only one settings dialog; a tray click brings it to the front.
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x800B, 0));
    ASSERT_TRUE(ClickTrayIcon(main));
    ::Sleep(300);
    EXPECT_EQ(FindWindowsWith(tray.Id(), "#32770", kSettingsTabs, true).size(), 1u);
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_EQ(::GetForegroundWindow(), dialog);

    // The start-up box writes and removes the Run entry at once.
    Press(general, kStartWithWindows);
    EXPECT_TRUE(OptionIs("StartWithStartup", 1));
    EXPECT_TRUE(HasRunEntry());
    Press(general, kStartWithWindows);
    EXPECT_TRUE(OptionIs("StartWithStartup", 0));
    EXPECT_FALSE(HasRunEntry());
    const struct {
        HWND page;
        int control;
        const char* option;
        uint32_t after;
    } boxes[] = {
        {general, 1031, "BlinkTrayIcon", 0},
        {general, kShowTip, "ShowToolTip", 0},
        {general, 1033, "BeepViaPCSpeaker", 1},
        {general, kPlaySound, "PlaySoundFile", 1},
        {general, kOnSequence, "AllowPopup_PressButton", 0},
        {general, 1036, "UpdateOnStartup", 0},
        {advanced, kAddMenu, "AddMenu", 0},
        {advanced, 1052, "FitPopup", 0},
        {advanced, 1053, "AddBorder", 0},
        {advanced, 1054, "Normalization", 0},
    };
    for (const auto& box : boxes) {
        if (box.page == advanced && !::IsWindowVisible(advanced)) {
            RECT tabs{};
            ::GetWindowRect(::GetDlgItem(dialog, kSettingsTabs), &tabs);
            ClickAt({tabs.left + 96, (tabs.top + tabs.bottom) / 2}); // "Advnced"
            ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(advanced) != FALSE; }, 5000));
            EXPECT_FALSE(::IsWindowVisible(general));
        }
        Press(box.page, box.control);
        EXPECT_TRUE(OptionIs(box.option, box.after)) << box.option;
    }
    // The seconds field follows "Show tip for", the sound file "Play sound file".
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(general, kSeconds)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(general, kSoundFile)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(general, kSoundOpen)));
    // "Open" chooses the sound file.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string sound = std::string(temp) + "qlx_settings_sound.wav";
    std::ofstream(sound, std::ios::binary) << "RIFF";
    Press(general, kSoundOpen);
    HWND chooser = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            for (HWND w : FindWindowsWith(tray.Id(), "#32770", IDOK, true)) {
                chooser = w != dialog ? w : chooser;
            }
            return chooser != nullptr;
        },
        10000));
    for (int nameBox : {0x47c, 0x480}) { // file name: a combo box or an edit
        ::SendDlgItemMessageA(chooser, nameBox, WM_SETTEXT, 0,
                              reinterpret_cast<LPARAM>(sound.c_str()));
    }
    ASSERT_TRUE(PressButton(chooser, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return Option("SoundFileName") == RegData::String(sound); }, 5000));
    EXPECT_EQ(EditText(general, kSoundFile), sound);
    ::DeleteFileA(sound.c_str());

    Press(general, kShowTip);
    ASSERT_TRUE(WaitUntil(
        [&] { return ::IsWindowEnabled(::GetDlgItem(general, kSeconds)) != FALSE; }, 5000));

    // Typing past the limit.
    ::SendDlgItemMessageA(general, kSeconds, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("250"));
    EXPECT_TRUE(WaitUntil([&] { return EditText(general, kSeconds) == "100"; }, 5000));
    EXPECT_TRUE(OptionIs("ShowToolTip_Time", 100));

    // A key chosen while "On sequence" is off stores 0; switching it back on
    // takes the chosen key.
    ::SendDlgItemMessageA(general, kKeyList, CB_SETCURSEL, 1, 0);
    ::PostMessageA(general, WM_COMMAND, MAKEWPARAM(kKeyList, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(::GetDlgItem(general, kKeyList)));
    EXPECT_TRUE(OptionIs("AllowButtonNumber", 0));
    Press(general, kOnSequence);
    EXPECT_TRUE(OptionIs("AllowButtonNumber", 2));

    // A pop-up blocked meanwhile stays counted after "Cancel".
    {
        auto service = Connect();
        ASSERT_TRUE(service);
        EXPECT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/s"));
    }
    Press(dialog, kSettingsCancel);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 5000));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(bar) != FALSE; }, 5000));
    // Restored in memory only: the registry keeps the changes while running.
    EXPECT_EQ(Option("Normalization"), RegData::Dword(0));
    EXPECT_EQ(Option("ShowToolTip_Time"), RegData::Dword(100));
    Exit();
    const std::pair<const char*, uint32_t> restored[] = {
        {"StartWithStartup", 0},
        {"BlinkTrayIcon", 1},
        {"ShowToolTip", 1},
        {"ShowToolTip_Time", 5},
        {"BeepViaPCSpeaker", 0},
        {"PlaySoundFile", 0},
        {"AllowPopup_PressButton", 1},
        {"AllowButtonNumber", 3},
        {"UpdateOnStartup", 1},
        {"AddMenu", 1},
        {"Normalization", 1},
        {"PopupBlockedTotal_Count", 1},
    };
    for (const auto& [name, value] : restored) {
        EXPECT_EQ(Option(name), RegData::Dword(value)) << name;
    }
    EXPECT_NE(Option("SoundFileName"), RegData::String(sound));
}

TEST_F(TrayFaceTest, SettingsDefaultsKeepCountersAndSwitchesAndResetTheMinibarPlace) {
    const std::pair<const char*, uint32_t> stored[] = {
        {"PopupBlockedTotal_Count", 7}, {"BlockPopup", 0},   {"ShowMiniBar", 0},
        {"MiniBarCompact", 1},          {"minibar_dx", 100}, {"minibar_dy", 40},
        {"ShowToolTip_Time", 9},        {"AddMenu", 0},      {"StartWithStartup", 0},
        {"AllowButtonNumber", 0},
    };
    for (const auto& [name, value] : stored) {
        SetOption(name, RegData::Dword(value));
    }
    Start();
    HWND dialog = OpenSettings(tray, main);
    ASSERT_NE(dialog, nullptr);
    HWND general = ::GetDlgItem(dialog, kGeneralPage);
    HWND advanced = ::GetDlgItem(dialog, kAdvancedPage);
    EXPECT_EQ(EditText(general, kSeconds), "9");
    EXPECT_EQ(::SendDlgItemMessageA(general, kKeyList, CB_GETCURSEL, 0, 0), CB_ERR);
    EXPECT_FALSE(Checked(advanced, kAddMenu));
    EXPECT_FALSE(Checked(general, kStartWithWindows));

    Press(dialog, kSettingsDefaults);
    EXPECT_TRUE(OptionIs("ShowToolTip_Time", 5));
    EXPECT_EQ(EditText(general, kSeconds), "5");
    EXPECT_EQ(::SendDlgItemMessageA(general, kKeyList, CB_GETCURSEL, 0, 0), 2);
    EXPECT_TRUE(Checked(advanced, kAddMenu));
    EXPECT_TRUE(Checked(general, kStartWithWindows));
    EXPECT_FALSE(HasRunEntry()); // brought in line at the next change or at exit
    const std::pair<const char*, uint32_t> after[] = {
        {"PopupBlockedTotal_Count", 7},
        {"BlockPopup", 0},
        {"ShowMiniBar", 0},
        {"MiniBarCompact", 1},
        {"minibar_dx", 352},
        {"minibar_dy", 0},
        {"AddMenu", 1},
        {"AllowButtonNumber", 3},
    };
    for (const auto& [name, value] : after) {
        EXPECT_EQ(Option(name), RegData::Dword(value)) << name;
    }
    Press(dialog, kSettingsOk);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 5000));
    Exit();
    EXPECT_EQ(Option("ShowToolTip_Time"), RegData::Dword(5));
    EXPECT_TRUE(HasRunEntry());
}

// A visible top-level window titled `title` that belongs to another process.
HWND FindForeignWindow(const char* title) {
    HWND found = nullptr;
    for (HWND w = ::FindWindowExA(nullptr, nullptr, nullptr, title); w;
         w = ::FindWindowExA(nullptr, w, nullptr, title)) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid != ::GetCurrentProcessId() && ::IsWindowVisible(w)) {
            found = w;
        }
    }
    return found;
}

TEST_F(TrayFaceTest, HelpOpensTheManualOrExplainsWhyNot) {
    // The manual beside the program opens in the help viewer, with no message.
    Start();
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0xE146, 0));
    EXPECT_TRUE(WaitUntil([] { return FindForeignWindow("Quellix Help") != nullptr; }, 20000));
    EXPECT_EQ(FindMessageBox(tray.Id()), nullptr);
    // The viewer would hold the test's output open.
    EXPECT_GE(KillProcesses("hh.exe"), 1u);
    Exit();

    // A copy of the program without its manual explains itself.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "qlx_no_manual\\";
    ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA(QlxPath().c_str(), (folder + "QLX.exe").c_str(), FALSE));
    const std::string bin = QlxPath().substr(0, QlxPath().find_last_of('\\') + 1);
    ASSERT_TRUE(
        ::CopyFileA((bin + "version.dat").c_str(), (folder + "version.dat").c_str(), FALSE));
    ::DeleteFileA((folder + "manual.chm").c_str());
    Start(folder + "QLX.exe");
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0xE146, 0));
    std::string text;
    AnswerBox(tray, IDOK, &text);
    EXPECT_NE(text.find("You can not view product's manual now."), std::string::npos);
    Exit();
    ::DeleteFileA((folder + "QLX.exe").c_str());
    ::DeleteFileA((folder + "version.dat").c_str());
    ::RemoveDirectoryA(folder.c_str());
}

TEST_F(TrayFaceTest, StripsMenuAndDraggingByMouseAndKeyboard) {
    Start();
    HWND bar = FindMiniBar(tray.Id());
    auto show = [&] {
        ASSERT_TRUE(ClickTrayIcon(main));
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
        ::Sleep(200);
    };
    // "Enable Blocking" switches blocking off; the minibar follows.
    show();
    ClickAt(StripItem(main, 1000, 0, 2));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }, 5000));
    EXPECT_TRUE(
        WaitUntil([&] { return ControlText(bar, kMiniEnable) == "Disable blocking"; }, 5000));
    // "Show Minibar" hides it.
    show();
    ClickAt(StripItem(main, 1000, 1, 2));
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(bar); }, 5000));
    show();
    ClickAt(StripItem(main, 1000, 1, 2));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(bar) != FALSE; }, 5000));
    // The menu row's "About".
    show();
    ClickAt(StripItem(main, 1014, 0, 5));
    AnswerBox(tray, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(bar) != FALSE; }, 5000));

    // The minibar's menu, by keyboard: its first item is "About".
    Press(bar, 1062);
    ASSERT_TRUE(WaitUntil([&] { return FindMenu(tray.Id()) != nullptr; }, 5000));
    Key(VK_DOWN);
    Key(VK_RETURN);
    AnswerBox(tray, IDOK);

    // Dragging by the background.
    RECT before{};
    ::GetWindowRect(bar, &before);
    MouseTo({before.left + 60, before.top + 4});
    MouseButton(true);
    MouseTo({before.left + 10, before.top + 104});
    MouseTo({before.left - 40, before.top + 204});
    MouseButton(false);
    EXPECT_TRUE(WaitUntil(
        [&] {
            RECT after{};
            ::GetWindowRect(bar, &after);
            return after.left == before.left - 100 && after.top == before.top + 200;
        },
        5000));

    // The exit strip asks; "No" keeps the program.
    show();
    ClickAt(StripItem(main, 1015, 0, 1));
    AnswerBox(tray, IDNO);
    ::Sleep(200);
    EXPECT_TRUE(tray.Running());
    Exit();
    EXPECT_EQ(Option("BlockPopup"), RegData::Dword(0));
}

// The control of `window`'s thread that has the keyboard focus.
int FocusedControl(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
    return info.hwndFocus ? ::GetDlgCtrlID(info.hwndFocus) : 0;
}

bool FocusIs(HWND window, int control) {
    return WaitUntil([&] { return FocusedControl(window) == control; }, 500);
}

// Moves the focus on from `control` with one Tab. Under load the X server
// now and then drops a synthetic key; a press that changed nothing at all is
// made once more, and a focus that will not move still fails the next check.
void TabFrom(HWND window, int control) {
    Key(VK_TAB);
    if (!WaitUntil([&] { return FocusedControl(window) != control; }, 1000)) {
        Key(VK_TAB);
    }
}

// Presses Tab until `control` has the focus.
bool TabTo(HWND window, int control) {
    for (int i = 0; i < 24 && !FocusIs(window, control); ++i) {
        Key(VK_TAB);
    }
    return FocusedControl(window) == control;
}

TEST_F(TrayFaceTest, EveryCommandWorksFromTheKeyboardInTheOrderShown) {
    SetOption("ShowToolTip_Time", RegData::Dword(9));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    HWND settings = nullptr;
    // Each strip item, reached with Tab and the arrow keys, acts on a key.
    const struct {
        int strip;
        int steps; // right arrows from the first item
        WORD key;
        std::function<void()> check;
    } items[] = {
        {1000, 0, VK_SPACE,
         [&] {
             EXPECT_TRUE(WaitUntil(
                 [&] { return ControlText(bar, kMiniEnable) == "Disable blocking"; }, 5000));
         }},
        {1000, 1, VK_RETURN,
         [&] { EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(bar); }, 5000)); }},
        {1014, 0, VK_RETURN, [&] { AnswerBox(tray, IDOK); }},
        {1014, 3, VK_SPACE,
         [&] {
             EXPECT_TRUE(WaitUntil(
                 [&] {
                     const auto found = FindWindowsWith(tray.Id(), "#32770", kSettingsTabs, true);
                     settings = found.empty() ? nullptr : found.front();
                     return settings != nullptr;
                 },
                 10000));
         }},
        {1015, 0, VK_RETURN, [&] { AnswerBox(tray, IDNO); }},
    };
    for (const auto& item : items) {
        ASSERT_TRUE(ClickTrayIcon(main));
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
        ASSERT_TRUE(TabTo(main, item.strip)) << item.strip;
        Key(VK_HOME);
        for (int i = 0; i < item.steps; ++i) {
            Key(VK_RIGHT);
        }
        Key(item.key);
        item.check();
        if (settings) {
            break;
        }
    }
    ASSERT_NE(settings, nullptr);
    // Settings: the tab strip, the page shown, then Ok, Cancel, Defaults.
    const int order[] = {kSettingsTabs,
                         kStartWithWindows,
                         1031,
                         kShowTip,
                         kSeconds,
                         1033,
                         kPlaySound,
                         kOnSequence,
                         kKeyList,
                         1036,
                         kSettingsOk,
                         kSettingsCancel,
                         kSettingsDefaults,
                         1025};
    ASSERT_TRUE(TabTo(settings, order[0]));
    for (int control : order) {
        EXPECT_TRUE(FocusIs(settings, control)) << control << " got " << FocusedControl(settings);
        if (control != order[std::size(order) - 1]) {
            TabFrom(settings, control);
        }
    }
    // Enter presses the button that has the focus, and "Ok" from anywhere else.
    ASSERT_TRUE(TabTo(settings, kSettingsDefaults));
    Key(VK_RETURN);
    EXPECT_TRUE(OptionIs("ShowToolTip_Time", 5));
    EXPECT_TRUE(::IsWindow(settings));
    ASSERT_TRUE(TabTo(settings, kStartWithWindows));
    Key(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(settings); }, 5000));
    EXPECT_TRUE(OptionIs("StartWithStartup", 1)); // the factory value, not toggled
    Exit();
}

// What a screen reader reads of one object through MSAA.
struct ReaderView {
    std::string name;
    long state = 0;
};

ReaderView ReadAccessible(IAccessible* object, long child) {
    ReaderView view;
    VARIANT id{};
    id.vt = VT_I4;
    id.lVal = child;
    BSTR name = nullptr;
    if (SUCCEEDED(object->get_accName(id, &name)) && name) {
        view.name = WideToAnsi(name);
        ::SysFreeString(name);
    }
    VARIANT state{};
    if (SUCCEEDED(object->get_accState(id, &state)) && state.vt == VT_I4) {
        view.state = state.lVal;
    }
    return view;
}

ComPtr<IAccessible> AccessibleOf(HWND control) {
    ComPtr<IAccessible> object;
    ::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 object.put_void());
    return object;
}

// Every visible control of `window` (inside its pages too) by id, as a
// screen reader reads it.
std::map<int, ReaderView> ReadControls(HWND window) {
    std::map<int, ReaderView> controls;
    for (HWND child = ::GetWindow(window, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        char cls[32] = {};
        ::GetClassNameA(child, cls, sizeof cls);
        if (!::IsWindowVisible(child)) {
            continue;
        }
        if (std::string(cls) == "#32770") {
            controls.merge(ReadControls(child));
        } else if (auto object = AccessibleOf(child)) {
            controls[::GetDlgCtrlID(child)] = ReadAccessible(object.get(), CHILDID_SELF);
        } else {
            controls[::GetDlgCtrlID(child)] = {};
        }
    }
    return controls;
}

void ExpectEveryControlNamed(HWND window, const char* what) {
    const auto controls = ReadControls(window);
    EXPECT_GE(controls.size(), 1u) << what;
    for (const auto& [control, view] : controls) {
        EXPECT_FALSE(view.name.empty()) << what << " control " << control;
    }
}

TEST_F(TrayFaceTest, ScreenReadersFindEveryControlNamedAndTheSwitchesState) {
    SetOption("ShowToolTip_Time", RegData::Dword(3));
    Start();
    HWND bar = FindMiniBar(tray.Id());
    ASSERT_TRUE(ClickTrayIcon(main));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    ExpectEveryControlNamed(main, "main window");
    ExpectEveryControlNamed(bar, "minibar");
    {
        auto service = Connect();
        ASSERT_TRUE(service);
        ASSERT_TRUE(Block(service.get(), L"http://www.example.com", L"http://ads.example.net/r"));
    }
    ASSERT_TRUE(WaitUntil([&] { return !FindTips(tray.Id()).empty(); }, 5000));
    ExpectEveryControlNamed(FindTips(tray.Id()).front(), "tip");

    // The switches read as pressed or not: the toggle strip's items and the
    // minibar's blocking button.
    auto strip = AccessibleOf(::GetDlgItem(main, 1000));
    ASSERT_TRUE(strip);
    long items = 0;
    EXPECT_EQ(strip->get_accChildCount(&items), S_OK);
    EXPECT_EQ(items, 2);
    const ReaderView blocking = ReadAccessible(strip.get(), 1);
    EXPECT_EQ(blocking.name, "Enable Blocking");
    EXPECT_TRUE(blocking.state & STATE_SYSTEM_PRESSED);
    EXPECT_TRUE(
        ReadAccessible(AccessibleOf(::GetDlgItem(bar, kMiniEnable)).get(), CHILDID_SELF).state &
        STATE_SYSTEM_PRESSED);
    // A reader's default action on an item is a click on it.
    VARIANT second{};
    second.vt = VT_I4;
    second.lVal = 1;
    EXPECT_EQ(strip->accDoDefaultAction(second), S_OK);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return !(
                ReadAccessible(AccessibleOf(::GetDlgItem(bar, kMiniEnable)).get(), CHILDID_SELF)
                    .state &
                STATE_SYSTEM_PRESSED);
        },
        5000));
    EXPECT_FALSE(ReadAccessible(strip.get(), 1).state & STATE_SYSTEM_PRESSED);
    strip = {};

    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x800A, 0));
    HWND about = nullptr;
    ASSERT_TRUE(WaitForMessageBox(tray.Id(), 10000, &about));
    ExpectEveryControlNamed(about, "about box");
    ASSERT_TRUE(PressButton(about, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(about); }, 5000));

    HWND settings = OpenSettings(tray, main);
    ASSERT_NE(settings, nullptr);
    ExpectEveryControlNamed(settings, "settings, General");
    const auto general = ReadControls(settings);
    EXPECT_EQ(general.at(kSeconds).name, "Seconds to show the tip");
    EXPECT_EQ(general.at(kKeyList).name, "Key held with a click in Web browser");
    RECT tabs{};
    ::GetWindowRect(::GetDlgItem(settings, kSettingsTabs), &tabs);
    ClickAt({tabs.left + 96, (tabs.top + tabs.bottom) / 2}); // "Advnced"
    ASSERT_TRUE(WaitUntil(
        [&] { return ::IsWindowVisible(::GetDlgItem(settings, kAdvancedPage)) != FALSE; }, 5000));
    ExpectEveryControlNamed(settings, "settings, Advanced");
    ClickAt({tabs.left + 150, (tabs.top + tabs.bottom) / 2}); // "Sites"
    ASSERT_TRUE(
        WaitUntil([&] { return ::IsWindowVisible(::GetDlgItem(settings, 108)) != FALSE; }, 5000));
    ExpectEveryControlNamed(settings, "settings, Sites");
    const auto sites = ReadControls(settings);
    EXPECT_EQ(sites.at(1091).name, "Always allow pop-ups from these sites");
    EXPECT_EQ(sites.at(1093).name, "Site:");
    Press(settings, kSettingsOk);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(settings); }, 5000));
    Exit();
}

// The width of `text` in the dialogs' font ("MS Shell Dlg", 8 points).
int TextWidth(const std::string& text) {
    HDC screen = ::GetDC(nullptr);
    HFONT font = ::CreateFontA(-::MulDiv(8, ::GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0,
                               FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Shell Dlg");
    HGDIOBJ old = ::SelectObject(screen, font);
    SIZE size{};
    ::GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(screen, old);
    ::DeleteObject(font);
    ::ReleaseDC(nullptr, screen);
    return size.cx;
}

int ClientWidth(HWND control) {
    RECT rect{};
    ::GetClientRect(control, &rect);
    return rect.right;
}

TEST_F(TrayFaceTest, TextsFitTheirControlsAndTheSplashHasItsShape) {
    SeedHistory({{"2026-12-01 10:00:00", "http://a.com", "http://a.com/p", 1, 2, 3, 4}});
    ASSERT_TRUE(StartTray(tray));
    // The splash is cut to its bitmap: round corners, a solid middle.
    std::vector<HWND> splash;
    ASSERT_TRUE(WaitUntil(
        [&] { return !(splash = FindWindowsWith(tray.Id(), "#32770", 1005, true)).empty(); },
        5000));
    HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
    EXPECT_NE(::GetWindowRgn(splash.front(), shape), ERROR);
    EXPECT_FALSE(::PtInRegion(shape, 2, 2));
    EXPECT_TRUE(::PtInRegion(shape, 240, 130));
    ::DeleteObject(shape);
    main = FindMainWindow(tray.Id());
    ASSERT_TRUE(WaitUntil([&] { return Value(main, kToday) == "0"; }, 10000));
    // The window and its skin have the screen's scale.
    const int dpi = WindowDc(nullptr) ? ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY) : 96;
    RECT frame{};
    ::GetWindowRect(main, &frame);
    EXPECT_EQ(frame.right - frame.left, ScaleForDpi(320, dpi)) << dpi;
    EXPECT_EQ(frame.bottom - frame.top, ScaleForDpi(404, dpi)) << dpi;
    // The manifest asks for per-monitor scaling: the system tells each
    // window its monitor's scale instead of stretching a bitmap of it.
    using ContextOf = HANDLE(WINAPI*)(HWND);
    using AwarenessOf = int(WINAPI*)(HANDLE);
    HMODULE user = ::GetModuleHandleA("user32.dll");
    auto contextOf = reinterpret_cast<ContextOf>(
        reinterpret_cast<void*>(::GetProcAddress(user, "GetWindowDpiAwarenessContext")));
    auto awarenessOf = reinterpret_cast<AwarenessOf>(
        reinterpret_cast<void*>(::GetProcAddress(user, "GetAwarenessFromDpiAwarenessContext")));
    ASSERT_TRUE(contextOf && awarenessOf);
    EXPECT_EQ(awarenessOf(contextOf(main)), 2); // DPI_AWARENESS_PER_MONITOR_AWARE

    // Captions, values and buttons hold their whole texts.
    for (int control : std::initializer_list<int>{1070, kLastPopup, 1072, kPopupedAt, 1074, kToday,
                                                  1076, kTotal, kOpen, kRemove, kClear}) {
        HWND item = ::GetDlgItem(main, control);
        EXPECT_LE(TextWidth(ControlText(main, control)), ClientWidth(item)) << control;
    }
    // The list's time column shows a whole time.
    HWND list = ::GetDlgItem(main, kList);
    EXPECT_GE(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0),
              TextWidth(RemoteItemText(tray.Handle(), list, 0, 0)) + 12);
    EXPECT_TRUE(::SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_LABELTIP);
    // Time, pop-up and the browser's process, whose usual names fit whole.
    EXPECT_EQ(::SendMessageA(ListView_GetHeader(list), HDM_GETITEMCOUNT, 0, 0), 3);
    for (const char* process : {"chrome.exe", "msedge.exe", "iexplore.exe"}) {
        EXPECT_GE(::SendMessageA(list, LVM_GETCOLUMNWIDTH, 2, 0), TextWidth(process) + 12)
            << process;
    }
    // All three stand inside the list, beside its vertical scroll bar.
    LRESULT columns = 0;
    for (int column = 0; column < 3; ++column) {
        columns += ::SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0);
    }
    EXPECT_LE(columns + ::GetSystemMetrics(SM_CXVSCROLL), ClientWidth(list));
    Exit();
}

TEST_F(TrayFaceTest, StripItemsHoldTheirWholeNames) {
    ASSERT_TRUE(StartTray(tray));
    main = FindMainWindow(tray.Id());
    ASSERT_TRUE(WaitUntil([&] { return Value(main, kToday) == "0"; }, 10000));
    // Every item of the strips, read with its place through MSAA.
    for (int strip : {1000, 1014, 1015}) {
        auto object = AccessibleOf(::GetDlgItem(main, strip));
        ASSERT_TRUE(object);
        long items = 0;
        object->get_accChildCount(&items);
        for (long item = 1; item <= items; ++item) {
            VARIANT child{};
            child.vt = VT_I4;
            child.lVal = item;
            long left = 0, top = 0, width = 0, height = 0;
            ASSERT_EQ(object->accLocation(&left, &top, &width, &height, child), S_OK);
            const std::string name = ReadAccessible(object.get(), item).name;
            EXPECT_LE(TextWidth(name) + 4, width) << name;
        }
    }
    Exit();
}

// A control's text as it shows: "&" marks the next letter and takes no room.
std::string ShownText(HWND control) {
    char text[MAX_PATH] = {};
    ::GetWindowTextA(control, text, sizeof text);
    std::string shown;
    for (const char* c = text; *c; ++c) {
        if (*c != '&' || *++c == '&') {
            shown.push_back(*c);
        }
        if (!*c) {
            break;
        }
    }
    return shown;
}

TEST_F(TrayFaceTest, TextsFitEveryPageOfSettings) {
    Start();
    HWND settings = OpenSettings(tray, main);
    ASSERT_NE(settings, nullptr);
    const int dpi = WindowDc(nullptr) ? ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY) : 96;
    RECT frame{};
    ::GetWindowRect(settings, &frame);
    EXPECT_EQ(frame.right - frame.left, ScaleForDpi(490, dpi)) << dpi;
    EXPECT_EQ(frame.bottom - frame.top, ScaleForDpi(408, dpi)) << dpi;
    RECT tabs{};
    ::GetWindowRect(::GetDlgItem(settings, kSettingsTabs), &tabs);
    const struct {
        int page;
        int tabMiddle; // at 100%
    } pages[] = {{kGeneralPage, 31}, {kAdvancedPage, 93}, {108, 155}};
    for (const auto& page : pages) {
        SCOPED_TRACE(page.page);
        ClickAt({tabs.left + ScaleForDpi(page.tabMiddle, dpi), (tabs.top + tabs.bottom) / 2});
        HWND shown = ::GetDlgItem(settings, page.page);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(shown) != FALSE; }, 5000));
        int checked = 0;
        for (HWND child = ::GetWindow(shown, GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            char cls[32] = {};
            ::GetClassNameA(child, cls, sizeof cls);
            const std::string text = ShownText(child);
            if (!::IsWindowVisible(child) || text.empty() ||
                (std::string(cls) != "Static" && std::string(cls) != "Button")) {
                continue;
            }
            // A check box's text stands beside its box.
            const LONG type = ::GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
            const bool box =
                std::string(cls) == "Button" && (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX);
            EXPECT_LE(TextWidth(text) + (box ? ScaleForDpi(16, dpi) : 0), ClientWidth(child))
                << text;
            ++checked;
        }
        EXPECT_GE(checked, 2);
    }
    for (int button : {kSettingsOk, kSettingsCancel, kSettingsDefaults}) {
        HWND item = ::GetDlgItem(settings, button);
        EXPECT_LE(TextWidth(ShownText(item)) + 4, ClientWidth(item)) << button;
    }
    Press(settings, kSettingsOk);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(settings); }, 5000));
    Exit();
}

// Where a control stands in its window, at 96 DPI.
struct PlaceAt96 {
    int control, x, y, width, height;
};

// Checks that every control of `places` stands at its place scaled to `dpi`.
void ExpectPlaces(HWND window, std::initializer_list<PlaceAt96> places, int dpi) {
    for (const PlaceAt96& place : places) {
        RECT rect{};
        ::GetWindowRect(::GetDlgItem(window, place.control), &rect);
        ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        const RECT want{ScaleForDpi(place.x, dpi), ScaleForDpi(place.y, dpi),
                        ScaleForDpi(place.x + place.width, dpi),
                        ScaleForDpi(place.y + place.height, dpi)};
        for (auto [got, wanted] : {std::pair{rect.left, want.left},
                                   {rect.top, want.top},
                                   {rect.right, want.right},
                                   {rect.bottom, want.bottom}}) {
            EXPECT_NEAR(got, wanted, 1) << place.control << " at " << dpi;
        }
    }
}

int ItemWidth(const ChildProcess& tray, HWND window, int strip) {
    const RECT item = RemoteTabItemRect(tray.Handle(), ::GetDlgItem(window, strip), 0);
    return item.right - item.left;
}

// Announces a move of `window` from `dpi` to `step`, offering its frame
// scaled, and checks that the window takes it.
void MoveToScale(const ChildProcess& tray, HWND window, const RECT& frame, int step, int dpi) {
    const RECT offered{frame.left, frame.top,
                       frame.left + ::MulDiv(frame.right - frame.left, step, dpi),
                       frame.top + ::MulDiv(frame.bottom - frame.top, step, dpi)};
    ASSERT_TRUE(SendDpiChange(tray.Handle(), window, step, offered));
    RECT now{};
    ::GetWindowRect(window, &now);
    EXPECT_TRUE(::EqualRect(&now, &offered));
}

// Moved to a monitor of another scale, as Windows announces it, each window
// takes the rectangle offered and lays itself out again: its places, strips,
// list columns and pages; moved back, it is as it was.
TEST_F(TrayFaceTest, AMoveToAnotherScaleRedoesTheMainWindowAndSettings) {
    Start();
    ASSERT_TRUE(ClickTrayIcon(main));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    const int dpi = ::GetDeviceCaps(WindowDc(nullptr).get(), LOGPIXELSY);
    const int moved = dpi * 3 / 2;
    const auto mainPlaces = {PlaceAt96{1000, 10, 36, 300, 26}, PlaceAt96{kList, 10, 148, 300, 140},
                             PlaceAt96{kOpen, 10, 294, 88, 24}, PlaceAt96{1015, 214, 372, 96, 24}};
    RECT frame{};
    ::GetWindowRect(main, &frame);
    HWND list = ::GetDlgItem(main, kList);
    const int timeColumn = ListView_GetColumnWidth(list, 0);
    for (int step : {moved, dpi}) {
        SCOPED_TRACE(step);
        MoveToScale(tray, main, frame, step, dpi);
        ExpectPlaces(main, mainPlaces, step);
        EXPECT_EQ(ItemWidth(tray, main, 1000), ScaleForDpi(148, step));
        EXPECT_EQ(ItemWidth(tray, main, 1014), ScaleForDpi(59, step));
        // The time column is as wide as a whole time in the new font.
        EXPECT_NEAR(ListView_GetColumnWidth(list, 0), ::MulDiv(timeColumn - 14, step, dpi) + 14,
                    step / 24);
    }

    HWND settings = OpenSettings(tray, main);
    ASSERT_NE(settings, nullptr);
    ::GetWindowRect(settings, &frame);
    HWND general = ::GetDlgItem(settings, kGeneralPage);
    for (int step : {moved, dpi}) {
        SCOPED_TRACE(step);
        MoveToScale(tray, settings, frame, step, dpi);
        ExpectPlaces(settings, {{kSettingsTabs, 8, 29, 190, 22}, {kSettingsOk, 248, 372, 72, 24}},
                     step);
        EXPECT_EQ(ItemWidth(tray, settings, kSettingsTabs), ScaleForDpi(62, step));
        // The page stands at its place and lays its own controls out anew.
        RECT page{};
        ::GetWindowRect(general, &page);
        ::MapWindowPoints(nullptr, settings, reinterpret_cast<POINT*>(&page), 2);
        EXPECT_NEAR(page.left, ScaleForDpi(10, step), 1);
        EXPECT_NEAR(page.top, ScaleForDpi(50, step), 1);
        ExpectPlaces(general, {{kStartWithWindows, 24, 28, 300, 18}}, step);
    }
    Press(settings, kSettingsOk);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(settings); }, 5000));
    Exit();
}

TEST_F(TrayFaceTest, HighContrastDropsTheSkinForTheSystemColours) {
    for (bool contrast : {false, true}) {
        SCOPED_TRACE(contrast);
        // Wine cannot switch the system setting; the program's own switch
        // stands in for it.
        ::SetEnvironmentVariableA("QLX_HIGH_CONTRAST", contrast ? "1" : nullptr);
        Start();
        ::SetEnvironmentVariableA("QLX_HIGH_CONTRAST", nullptr);
        HWND bar = FindMiniBar(tray.Id());
        ASSERT_TRUE(ClickTrayIcon(main));
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
        ::Sleep(300);
        for (HWND window : {main, bar}) {
            HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
            EXPECT_EQ(::GetWindowRgn(window, shape) != ERROR, !contrast);
            ::DeleteObject(shape);
        }
        RECT rect{};
        ::GetWindowRect(main, &rect);
        HDC screen = ::GetDC(nullptr);
        const COLORREF background = ::GetPixel(screen, rect.left + 5, rect.top + 140);
        ::ReleaseDC(nullptr, screen);
        EXPECT_EQ(background == ::GetSysColor(COLOR_WINDOW), contrast) << std::hex << background;
        Exit();
    }
}

// The browser's automation object is the engine's recording stand-in here; it
// logs what it is asked and "Released" at the end.
std::vector<std::string> BrowserLog() {
    std::vector<std::string> lines;
    std::ifstream log(qlx::testing::BinDir() + "browser_standin.log");
    for (std::string line; std::getline(log, line);) {
        lines.push_back(line.substr(0, line.find('\r')));
    }
    return lines;
}

// The log once the stand-in has ended; the log is then removed for the next.
std::vector<std::string> WaitForBrowser() {
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            lines = BrowserLog();
            return !lines.empty() && lines.back() == "Released";
        },
        20000);
    EXPECT_TRUE(WaitUntil([] { return CountProcesses("browser_standin.exe") == 0; }, 10000));
    const std::string log = qlx::testing::BinDir() + "browser_standin.log";
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ::DeleteFileA(log.c_str()) ||
                   ::GetFileAttributesA(log.c_str()) == INVALID_FILE_ATTRIBUTES;
        },
        5000));
    return lines;
}

TEST_F(TrayFaceTest, ReopenedPopupsReachTheBrowserObjectShapedByTheOptions) {
    const std::string standIn = Quoted(qlx::testing::BinDir() + "browser_standin.exe");
    ASSERT_EQ(RunAndWait(standIn + " /RegServer"), 0);
    ::DeleteFileA((qlx::testing::BinDir() + "browser_standin.log").c_str());
    SeedHistory({{"2026-12-01 10:00:00", "http://a.com", "http://a.com/old", 1, 2, 3, 4},
                 {"2026-12-02 10:00:00", "http://b.com", "http://b.com/pop", 11, 22, 333, 444}});
    SetOption("Normalization", RegData::Dword(0));
    Start();
    SelectRow(tray, main, 0);
    ASSERT_TRUE(
        WaitUntil([&] { return ::IsWindowEnabled(::GetDlgItem(main, kOpen)) != FALSE; }, 5000));
    Press(main, kOpen);
    EXPECT_EQ(WaitForBrowser(),
              (std::vector<std::string>{
                  "Created", "Navigate2 BSTR:http://b.com/pop EMPTY EMPTY EMPTY EMPTY",
                  "AddressBar 0", "MenuBar 0", "StatusBar 0", "ToolBar 0", "Left 11", "Top 22",
                  "Width 333", "Height 444", "Visible -1", "Released"}));
    Exit();

    SetOption("Normalization", RegData::Dword(1));
    SetOption("AddMenu", RegData::Dword(0));
    Start();
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x800D, 0));
    EXPECT_EQ(WaitForBrowser(),
              (std::vector<std::string>{
                  "Created", "Navigate2 BSTR:http://b.com/pop EMPTY EMPTY EMPTY EMPTY", "Left 0",
                  "Top 0", "Width " + std::to_string(::GetSystemMetrics(SM_CXFULLSCREEN)),
                  "Height " + std::to_string(::GetSystemMetrics(SM_CYFULLSCREEN)), "Resizable -1",
                  "MenuBar 0", "ToolBar 0", "Visible -1", "Released"}));
    Exit();
    RunAndWait(standIn + " /UnregServer");
}

std::string SitesFile() {
    std::ifstream in(DataFilePath("sites.lst"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SitesFileIs(const std::string& text) {
    return WaitUntil([&] { return SitesFile() == text; }, 5000);
}

// A list box item of another process (LB_GETTEXT is carried across); the
// list holds its texts in UTF-16.
std::wstring ListBoxItem(HWND list, int row) {
    wchar_t text[256] = {};
    ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(TrayFaceTest, AllowedSitesFromTheTipTheHistoryAndSettings) {
    SetOption("ShowToolTip_Time", RegData::Dword(30));
    Start();
    auto service = Connect();
    ASSERT_TRUE(service);

    // The tip's "Allow this site": a named button that adds the opening
    // page's site and closes the tip. Its pop-ups are let through from then on.
    ASSERT_TRUE(Block(service.get(), L"http://www.example.com/page", L"http://ads.test/a"));
    ASSERT_TRUE(WaitUntil([&] { return !FindTips(tray.Id()).empty(); }, 5000));
    HWND tip = FindTips(tray.Id()).front();
    EXPECT_EQ(ControlText(tip, 1069), "Allow this site");
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(tip, 1069)));
    Press(tip, 1069);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(tip); }, 5000));
    EXPECT_TRUE(SitesFileIs("www.example.com\r\n"));
    EXPECT_FALSE(Block(service.get(), L"http://www.example.com/other", L"http://ads.test/b"));
    EXPECT_FALSE(Block(service.get(), L"https://deep.www.example.com", L"http://ads.test/c"));
    EXPECT_EQ(Value(main, kTotal), "1");

    // The history's command on the selected entry: on, then off again; the
    // context menu from the keyboard (Shift+F10 sends WM_CONTEXTMENU at -1).
    ASSERT_TRUE(Block(service.get(), L"http://news.test/a.html", L"http://ads.test/d"));
    SelectRow(tray, main, 0);
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x8010, 0));
    EXPECT_TRUE(SitesFileIs("news.test\r\nwww.example.com\r\n"));
    ASSERT_TRUE(::PostMessageA(main, WM_COMMAND, 0x8010, 0));
    EXPECT_TRUE(SitesFileIs("www.example.com\r\n"));
    ClickTrayIcon(main);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 5000));
    ::SetForegroundWindow(main);
    ASSERT_TRUE(::PostMessageA(main, WM_CONTEXTMENU,
                               reinterpret_cast<WPARAM>(::GetDlgItem(main, kList)), -1));
    ASSERT_TRUE(WaitUntil([&] { return FindMenu(tray.Id()) != nullptr; }, 5000));
    Key(VK_DOWN);
    Key(VK_RETURN);
    EXPECT_TRUE(SitesFileIs("news.test\r\nwww.example.com\r\n"));
    EXPECT_FALSE(Block(service.get(), L"http://news.test/b.html", L"http://ads.test/e"));

    // The Sites page: the sorted list, Add (a whole address is reduced to
    // its host), Remove, and a bad entry refused with a message.
    HWND dialog = OpenSettings(tray, main);
    ASSERT_NE(dialog, nullptr);
    RECT tabs{};
    ::GetWindowRect(::GetDlgItem(dialog, kSettingsTabs), &tabs);
    ClickAt({tabs.left + 150, (tabs.top + tabs.bottom) / 2}); // "Sites"
    HWND sites = ::GetDlgItem(dialog, 108);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(sites) != FALSE; }, 5000));
    HWND list = ::GetDlgItem(sites, 1091);
    ASSERT_EQ(::SendMessageA(list, LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ListBoxItem(list, 0), L"news.test");
    EXPECT_EQ(ListBoxItem(list, 1), L"www.example.com");
    EXPECT_EQ(ControlText(sites, 1094), "Add");
    EXPECT_EQ(ControlText(sites, 1095), "Remove");

    ::SendDlgItemMessageA(sites, 1093, WM_SETTEXT, 0,
                          reinterpret_cast<LPARAM>("https://Mail.Example.org:8443/inbox?x"));
    Press(sites, 1094);
    EXPECT_TRUE(SitesFileIs("mail.example.org:8443\r\nnews.test\r\nwww.example.com\r\n"));
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageA(list, LB_GETCOUNT, 0, 0) == 3; }, 5000));
    EXPECT_EQ(EditText(sites, 1093), "");

    const std::string before = SitesFile();
    ::SendDlgItemMessageA(sites, 1093, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("bad site"));
    Press(sites, 1094);
    std::string message;
    AnswerBox(tray, IDOK, &message);
    EXPECT_NE(message.find("cannot contain spaces"), std::string::npos) << message;
    EXPECT_EQ(SitesFile(), before);

    // The site just added is shown selected; the user picks another alone.
    EXPECT_EQ(::SendMessageA(list, LB_GETSEL, 0, 0), 1); // mail.example.org:8443
    ::SendMessageA(list, LB_SETSEL, FALSE, -1);
    ::SendMessageA(list, LB_SETSEL, TRUE, 1); // news.test
    ::SendMessageA(sites, WM_COMMAND, MAKEWPARAM(1091, LBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(::SendMessageA(list, LB_GETSELCOUNT, 0, 0), 1);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(sites, 1095)));
    Press(sites, 1095);
    EXPECT_TRUE(SitesFileIs("mail.example.org:8443\r\nwww.example.com\r\n")) << SitesFile();
    Press(dialog, kSettingsOk);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); }, 5000));

    EXPECT_TRUE(Block(service.get(), L"http://news.test/c.html", L"http://ads.test/f"));
    EXPECT_FALSE(Block(service.get(), L"https://mail.example.org:8443/", L"http://ads.test/g"));
    EXPECT_TRUE(Block(service.get(), L"http://mail.example.org/", L"http://ads.test/h"));
    EXPECT_EQ(Value(main, kTotal), "4");
    service = {};
    Exit();
    const History history = ReadHistoryFile();
    std::vector<std::string> recorded;
    for (const CHistoryEntry& entry : history) {
        recorded.push_back(entry.siteAddress);
    }
    // Only the pop-ups blocked: none of a site while it was allowed.
    EXPECT_EQ(recorded, (std::vector<std::string>{"http://www.example.com", "http://news.test",
                                                  "http://news.test", "http://mail.example.org"}));
}

} // namespace
} // namespace qlx::tray::testing
