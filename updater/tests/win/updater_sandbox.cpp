#include "updater/tests/win/updater_sandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

namespace qlx::updater::testing {

namespace {

void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA found{};
    HANDLE find = ::FindFirstFileA((dir + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = dir + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path + "\\");
            } else {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    ::RemoveDirectoryA(dir.c_str());
}

} // namespace

int32_t CancelAndWait(qlx::testing::ChildProcess& updater) {
    HANDLE termination = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, "TarvelUpdaterTerminationEvent");
    if (termination == nullptr) {
        ADD_FAILURE() << "no termination event";
        return 1000;
    }
    ::SetEvent(termination);
    DWORD code = 1000;
    EXPECT_TRUE(updater.WaitForExit(20000, &code));
    // The event outlives the updater while this handle is open.
    ::ResetEvent(termination);
    ::CloseHandle(termination);
    return static_cast<int32_t>(code);
}

UpdaterSandbox::UpdaterSandbox() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string root = qlx::testing::BinDir() + "updater_sandbox\\";
    ::CreateDirectoryA(root.c_str(), nullptr);
    dir_ = root + info->test_suite_name() + "." + info->name() + "\\";
    RemoveTree(dir_);
    ::CreateDirectoryA(dir_.c_str(), nullptr);
    EXPECT_TRUE(::CopyFileA((qlx::testing::BinDir() + "update.exe").c_str(),
                            (dir_ + "update.exe").c_str(), FALSE));
    // The test's own signing key, when its script made one.
    if (const char* key = std::getenv("QLX_TEST_UPDATE_KEY_LINE"); key && *key) {
        Write("update.key", std::string("# test key\r\n") + key + "\r\n");
    }
}

UpdaterSandbox::~UpdaterSandbox() {
    RemoveTree(dir_);
}

void UpdaterSandbox::Write(const std::string& name, const std::string& content) const {
    HANDLE file = ::CreateFileA((dir_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

std::string UpdaterSandbox::ReadAbsolute(const std::string& path) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    std::string text;
    if (file == INVALID_HANDLE_VALUE) {
        return text;
    }
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    ::CloseHandle(file);
    return text;
}

bool UpdaterSandbox::Exists(const std::string& name) const {
    return ::GetFileAttributesA((dir_ + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool UpdaterSandbox::Start(qlx::testing::ChildProcess& child, const std::string& arguments) const {
    // Windows wait for the user: a test that is not about them keeps quiet.
    const bool quiet = arguments.find("Appearance") == std::string::npos;
    return child.Start(
        "\"" + dir_ + "update.exe\" " + arguments + (quiet ? " -Appearance=Stealth" : ""), dir_);
}

int32_t UpdaterSandbox::Run(const std::string& arguments, DWORD timeoutMs) const {
    qlx::testing::ChildProcess child;
    if (!Start(child, arguments)) {
        ADD_FAILURE() << "update.exe did not start";
        return 1000;
    }
    DWORD code = 0;
    if (!child.WaitForExit(timeoutMs, &code)) {
        ADD_FAILURE() << "update.exe did not end: " << arguments;
        return 1000;
    }
    return static_cast<int32_t>(code);
}

std::vector<std::string> UpdaterSandbox::LogMessages() const {
    static const std::regex kStamp(
        "(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}    ");
    std::vector<std::string> messages;
    const std::string text = Read("update.log");
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find("\r\n", begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(begin, end - begin);
        if (line.size() >= 28 && std::regex_match(line.substr(0, 28), kStamp)) {
            line.erase(0, 28);
        }
        messages.push_back(line);
        begin = end + 2;
    }
    return messages;
}

} // namespace qlx::updater::testing
