#include "updater/win32/file_log.h"

namespace qlx::updater {

namespace {

std::string Stamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    std::tm t{};
    t.tm_wday = now.wDayOfWeek;
    t.tm_mon = now.wMonth - 1;
    t.tm_mday = now.wDay;
    t.tm_hour = now.wHour;
    t.tm_min = now.wMinute;
    t.tm_sec = now.wSecond;
    t.tm_year = now.wYear - 1900;
    return TextualTime(t);
}

HANDLE OpenExclusive(const std::string& path, DWORD disposition) {
    return ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool FileLog::Open() {
    file_.reset(OpenExclusive(path_, OPEN_ALWAYS));
    LARGE_INTEGER size{};
    if (file_ && ::GetFileSizeEx(file_.get(), &size) &&
        static_cast<uint64_t>(size.QuadPart) > kLogSizeLimit) {
        file_.reset();
        file_.reset(OpenExclusive(path_, CREATE_ALWAYS));
    }
    return static_cast<bool>(file_);
}

void FileLog::Write(std::string_view message) {
    const auto line = FormatLogLine(Stamp(), message);
    if (!line || (!file_ && !Open())) {
        return;
    }
    LARGE_INTEGER zero{};
    ::SetFilePointerEx(file_.get(), zero, nullptr, FILE_END);
    DWORD written = 0;
    ::WriteFile(file_.get(), line->data(), static_cast<DWORD>(line->size()), &written, nullptr);
}

} // namespace qlx::updater
