#pragma once
// `CUpdateManager`, the part that start-up needs: the schedule file name,
// product name, program folder and the program version from "version.dat".
// Launching the updater, the schedule timers and their hidden window come
// with the update feature; `Start` marks where they begin.
#include <windows.h>

#include <cstdint>
#include <string>

namespace qlx::tray {

class CUpdateManager {
public:
    void SetScheduleFile(int kind, std::string fileName);
    void SetProductName(std::string name) { productName_ = std::move(name); }
    void SetProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
    void SetRunInvisibly(bool invisible) { invisible_ = invisible; }
    void SetProgramUpdatesEnabled(bool enabled) { programUpdatesEnabled_ = enabled; }

    // Records the start time and reads the program version, complaining
    // about a missing "version.dat" when asked (as at program start).
    void Start(bool complainIfVersionMissing, HWND messageOwner);
    // First whitespace-delimited word of "version.dat"; false if unreadable.
    bool ReadVersion(bool complain, HWND messageOwner);

    const std::string& ProgramVersion() const { return programVersion_; }
    int64_t StartTime() const { return startTime_; }

private:
    std::string scheduleFiles_[2];
    std::string productName_;
    std::string programFolder_;
    std::string programVersion_;
    int64_t startTime_ = 0;
    bool invisible_ = false;
    bool programUpdatesEnabled_ = false;
};

} // namespace qlx::tray
