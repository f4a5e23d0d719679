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

struct UpdaterFailure {
    int32_t code;
};

} // namespace qlx::updater
