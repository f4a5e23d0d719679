#include "updater/core/install_journal.h"

#include <algorithm>

#include "common/core/text.h"

namespace qlx::updater {

std::string FormatJournal(const std::vector<JournalEntry>& entries) {
    std::string text;
    for (const JournalEntry& entry : entries) {
        text += (entry.hadOld ? "old|" : "new|") + entry.target + "\r\n";
    }
    return text;
}

std::vector<JournalEntry> ParseJournal(std::string_view text) {
    std::vector<JournalEntry> entries;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.size() > 4 && (line.starts_with("old|") || line.starts_with("new|"))) {
            entries.push_back({std::string(line.substr(4)), line.starts_with("old|")});
        }
    }
    return entries;
}

std::string BackupPath(const std::string& target) {
    return target + ".qlxold";
}

std::string StagingPath(const std::string& target) {
    return target + ".qlxnew";
}

InstallJournal::InstallJournal(UpdaterPlatform& platform, LogSink& log, std::string programDir)
    : platform_(platform), log_(log), path_(std::move(programDir) + kJournalFile) {}

InstallJournal::~InstallJournal() {
    if (!entries_.empty()) {
        Rollback();
    }
}

bool InstallJournal::Save() {
    return platform_.ReplaceTextFile(path_, FormatJournal(entries_)) == 0;
}

InstallResult InstallJournal::Install(const std::string& source, const std::string& target) {
    const std::string staging = StagingPath(target);
    if (const uint32_t error = platform_.CopyFile(source, staging); error != 0) {
        return {error, false};
    }
    const bool known = std::any_of(entries_.begin(), entries_.end(), [&](const JournalEntry& e) {
        return EqualsNoCase(e.target, target);
    });
    bool backedUp = false;
    if (!known) {
        const bool hadOld = platform_.FileExists(target);
        entries_.push_back({target, hadOld});
        // Written before the target is touched, so that a kill at any later
        // moment finds it.
        if (!Save()) {
            entries_.pop_back();
            platform_.DeleteFile(staging);
            return {5, false};
        }
        backedUp = hadOld && platform_.MoveFile(target, BackupPath(target)) == 0;
        if (hadOld && !backedUp) {
            return Defer(source, target);
        }
    }
    if (platform_.MoveFile(staging, target) != 0) {
        if (backedUp) {
            platform_.MoveFile(BackupPath(target), target);
        }
        return known ? InstallResult{32, false} : Defer(source, target);
    }
    return {0, false};
}

InstallResult InstallJournal::Defer(const std::string& source, const std::string& target) {
    // Held by the system (a running program): the system's deferred copy,
    // which no journal can undo.
    entries_.pop_back();
    Save();
    platform_.DeleteFile(StagingPath(target));
    return platform_.InstallFile(source, target);
}

void InstallJournal::Commit() {
    if (entries_.empty()) {
        return;
    }
    // From here on the update stands: the old files are only leftovers.
    if (platform_.DeleteFile(path_) != 0) {
        Rollback();
        return;
    }
    for (const JournalEntry& entry : entries_) {
        if (entry.hadOld) {
            platform_.DeleteFile(BackupPath(entry.target));
        }
    }
    entries_.clear();
}

void InstallJournal::Undo(UpdaterPlatform& platform, const std::vector<JournalEntry>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::string backup = BackupPath(it->target);
        if (it->hadOld) {
            // No backup yet: the target was never touched.
            if (platform.FileExists(backup)) {
                platform.MoveFile(backup, it->target);
            }
        } else {
            platform.DeleteFile(it->target);
        }
        platform.DeleteFile(StagingPath(it->target));
    }
}

void InstallJournal::Rollback() {
    Undo(platform_, entries_);
    log_.Write("Update not completed: " + std::to_string(entries_.size()) +
               " replaced files restored.");
    entries_.clear();
    platform_.DeleteFile(path_);
}

bool InstallJournal::RecoverAtStart(UpdaterPlatform& platform, LogSink& log,
                                    const std::string& programDir) {
    const std::string path = programDir + kJournalFile;
    if (!platform.FileExists(path)) {
        return false;
    }
    const auto text = platform.ReadTextFile(path, nullptr);
    const std::vector<JournalEntry> entries = ParseJournal(text.value_or(""));
    Undo(platform, entries);
    platform.DeleteFile(path);
    log.Write("An interrupted update was undone: " + std::to_string(entries.size()) +
              " files restored.");
    return true;
}

} // namespace qlx::updater
