#pragma once
// Drives a running QLX.exe from a test: finds its hidden main window and its
// message boxes, answers the exit question, and resets the per-user state
// that the program reads and writes.
#include <windows.h>

#include <string>
#include <vector>

#include "common/testing/child_process.h"

namespace qlx::tray::testing {

inline constexpr const char* kMutex = "QuellixMutex";

std::string QlxPath();
// The text in double quotes, as a command line needs a path.
std::string Quoted(const std::string& text);
// The options key, the Run entries and the data folder's history and
// allowed sites.
void ResetUserState();
// A file of the data folder ("history.lst", "sites.lst").
std::string DataFilePath(const char* name);
std::string HistoryFilePath();

// The program's hidden main window (the one with the history list).
HWND FindMainWindow(DWORD processId);
// The process's top-level windows of `className` that have a child with
// id `control` (0: any); only visible ones when `visibleOnly`.
std::vector<HWND> FindWindowsWith(DWORD processId, const char* className, int control,
                                  bool visibleOnly);
// The minibar (it has the blocking button).
HWND FindMiniBar(DWORD processId);
// The visible blocked-pop-up tips.
std::vector<HWND> FindTips(DWORD processId);
// The open pop-up menu, or null.
HWND FindMenu(DWORD processId);
// The text of a control of another process's window.
std::string ControlText(HWND window, int control);
// Selects row `row` of the list `list` in `process`: the item record has to
// live in that process's memory.
bool SelectRemoteRow(HANDLE process, HWND list, int row);
// The text of a list item of another process ("" on failure).
std::string RemoteItemText(HANDLE process, HWND list, int row, int column);
// The rectangle of a tab strip's item in another process (empty on failure).
RECT RemoteTabItemRect(HANDLE process, HWND tabs, int item);
// Tells a window of `process` that it moved to a monitor of `dpi`, with the
// system's `suggested` rectangle, as Windows does (Wine never does).
bool SendDpiChange(HANDLE process, HWND window, int dpi, const RECT& suggested);
// How many processes of this executable name run.
size_t CountProcesses(const char* exeName);
// Ends every process of `exeName` (programs the tests made the tray program start).
size_t KillProcesses(const char* exeName);
// Sends the tray icon's callback message for a left button press.
bool ClickTrayIcon(HWND mainWindow);
// A visible message box of the process, or null.
HWND FindMessageBox(DWORD processId);
// All texts of a window's children, joined with "|".
std::string ChildTexts(HWND window);
bool WaitForMessageBox(DWORD processId, DWORD timeoutMs, HWND* box);
// Presses a button of a message box (IDYES, IDNO, IDOK...).
bool PressButton(HWND box, int button);

// Starts QLX.exe normally and waits until its mutex exists and its main
// window is there.
bool StartTray(qlx::testing::ChildProcess& process, const std::string& exe = QlxPath(),
               const std::string& workDir = {});
// Sends the Exit command, answers the question with Yes and waits for the
// process to end; returns its exit code in `exitCode`.
bool ExitTray(qlx::testing::ChildProcess& process, DWORD* exitCode = nullptr);

} // namespace qlx::tray::testing
