#pragma once
// The updater's exit codes. Failures travel as thrown `UpdaterFailure`
// values up to the session loop, which ends the process with one of them.
#include <cstdint>

namespace qlx::updater {

enum UpdaterReturnCodes : int32_t {
    kNoServers = -1,
    kScriptFailed = -2,
    kInvalidRequest = -3,
    kBadProductVersion = -5,
    kBadServerAddress = -9,
    kNetworkFailure = -11,
    kNoDiskSpace = -12,
    kFileUrlNotOpened = -13,
    kLocalFileNotCreated = -14,
    kDownloadStatus = -16,
    kVersionCheckFailed = -17,
    kGeneralFailure = -18,
    kUpdated = 21,
    kUpdatedRestart = 22,
    kRestartAsked = 23,
    kNothingToUpdate = 24,
    kUpdateAvailable = 25,
    kCancelled = 26,
};

// Whether `code` is one the updater ends a session with: every code above,
// and 0 for a verb that has nothing to report.
constexpr bool IsUpdaterReturnCode(int32_t code) {
    switch (code) {
    case 0:
    case kNoServers:
    case kScriptFailed:
    case kInvalidRequest:
    case kBadProductVersion:
    case kBadServerAddress:
    case kNetworkFailure:
    case kNoDiskSpace:
    case kFileUrlNotOpened:
    case kLocalFileNotCreated:
    case kDownloadStatus:
    case kVersionCheckFailed:
    case kGeneralFailure:
    case kUpdated:
    case kUpdatedRestart:
    case kRestartAsked:
    case kNothingToUpdate:
    case kUpdateAvailable:
    case kCancelled:
        return true;
    default:
        return false;
    }
}

struct UpdaterFailure {
    int32_t code;
};

} // namespace qlx::updater
