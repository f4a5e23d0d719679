#pragma once
// All or nothing: the copies of an update script replace their targets one
// by one, each target's old file kept beside it, under a journal in the
// program folder. A script that does not succeed, or an updater killed
// half-way (seen at its next start), puts every old file back.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/log_line.h"
#include "updater/core/platform.h"

namespace qlx::updater {

inline constexpr const char* kJournalFile = "update.journal";

struct JournalEntry {
    std::string target;
    bool hadOld = false; // the target existed and is kept as its backup
    bool operator==(const JournalEntry&) const = default;
};

// The journal's text: one "old|path" or "new|path" line per target.
std::string FormatJournal(const std::vector<JournalEntry>& entries);
// Lines that are neither are skipped.
std::vector<JournalEntry> ParseJournal(std::string_view text);
// Where a target's old file and its incoming copy wait, beside it.
std::string BackupPath(const std::string& target);
std::string StagingPath(const std::string& target);

class InstallJournal {
public:
    InstallJournal(UpdaterPlatform& platform, LogSink& log, std::string programDir);
    // Not committed: everything is put back.
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Copies `source` over `target`, the old target kept. A target the
    // system keeps in use is left to the system's deferred setup copy,
    // which cannot be undone.
    InstallResult Install(const std::string& source, const std::string& target);
    // The new files stay; the journal and the old files go.
    void Commit();
    // Every replaced file back, every new one removed.
    void Rollback();

    // At start-up: an update that was cut short is undone. True when there
    // was one.
    static bool RecoverAtStart(UpdaterPlatform& platform, LogSink& log,
                               const std::string& programDir);

private:
    static void Undo(UpdaterPlatform& platform, const std::vector<JournalEntry>& entries);
    bool Save();
    InstallResult Defer(const std::string& source, const std::string& target);

    UpdaterPlatform& platform_;
    LogSink& log_;
    std::string path_;
    std::vector<JournalEntry> entries_;
};

} // namespace qlx::updater
