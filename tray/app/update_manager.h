#pragma once
// `CUpdateManager`: starts the updater ("update.exe" beside the program) on
// the user's Update command and on the schedule of "Program.upd", one run
// at a time, and tells the user how it went in a tip near the taskbar.
// The schedule's timers arrive at a hidden window of the main thread; each
// request runs in a worker thread of its own.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace qlx::tray {

class CUpdateManager {
public:
    CUpdateManager();
    ~CUpdateManager();
    CUpdateManager(const CUpdateManager&) = delete;
    CUpdateManager& operator=(const CUpdateManager&) = delete;

    void SetScheduleFile(int kind, std::string fileName);
    void SetProductName(std::string name);
    void SetProgramFolder(std::string folder);
    void SetRunInvisibly(bool invisible) { invisible_ = invisible; }
    // A change re-plans the program kind.
    void SetProgramUpdatesEnabled(bool enabled);

    // Creates the timer window, records the start time, plans the program
    // kind and reads the program version, complaining about a missing
    // "version.dat" when asked (as at program start).
    void Start(bool complainIfVersionMissing, HWND messageOwner);
    // Arms or re-arms the timer of `kind` from its schedule file.
    void Plan(int kind);
    // Runs the request in a worker thread; while an update runs it waits in
    // the queue, and requests of the kind just run are dropped from there.
    void RequestUpdate(int kind, bool invisible);
    // First whitespace-delimited word of "version.dat"; false if unreadable.
    bool ReadVersion(bool complain, HWND messageOwner);

    std::string ProgramVersion() const;
    int64_t StartTime() const { return startTime_; }

    // What worker threads share with the manager; they keep it alive past
    // the manager, as an updater may still run when the program ends.
    struct Shared;

private:
    static LRESULT CALLBACK TimerWindowProc(HWND, UINT, WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);

    std::shared_ptr<Shared> shared_;
    std::string scheduleFiles_[2];
    HWND window_ = nullptr;
    int64_t startTime_ = 0;
    bool invisible_ = false;
    bool programUpdatesEnabled_ = false;
    bool basesUpdatesEnabled_ = false; // no part of the program sets it
};

} // namespace qlx::tray
