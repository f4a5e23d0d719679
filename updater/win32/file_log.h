#pragma once
// "update.log": opened without sharing on first use and started afresh when
// it has grown past its limit. A log that cannot be opened (another updater
// holds it) drops its lines quietly; the session never depends on it.
#include <windows.h>

#include <string>

#include "common/win32/unique_handle.h"
#include "updater/core/log_line.h"

namespace qlx::updater {

class FileLog final : public LogSink {
public:
    explicit FileLog(std::string path) : path_(std::move(path)) {}
    void Write(std::string_view message) override;
    void Close() { file_.reset(); }

private:
    bool Open();

    std::string path_;
    UniqueHandle file_;
};

} // namespace qlx::updater
