#pragma once
// A fresh data folder per test and an engine over it with a settable clock.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/std_file_system.h"

namespace qlx::engine::testing {

class TempFolder {
public:
    TempFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qlxeng-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }

    // Engine-style names ("\urls.lst") inside the folder.
    std::string File(std::string_view name) const {
        return StdFileSystem::HostPath(path_ + std::string(name));
    }
    void Write(std::string_view name, std::string_view bytes) const {
        std::ofstream(File(name), std::ios::binary) << bytes;
    }
    std::string Read(std::string_view name) const {
        std::ifstream in(File(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool Exists(std::string_view name) const { return std::filesystem::exists(File(name)); }

private:
    std::string path_;
};

// A local time, as mktime reads it.
inline std::time_t At(int year, int month, int day, int hour = 12, int minute = 0, int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest() : engine_(std::make_unique<BlockingEngine>(fs_, [this] { return now_; })) {}

    void Init(bool fullLogic = false, EngineSettings settings = {}) {
        ASSERT_EQ(engine_->Init("client.exe", folder_.path(), fullLogic, settings), Status::Ok);
    }
    // A second engine over the same folder, as the next client start sees it.
    std::unique_ptr<BlockingEngine> Reopen(bool fullLogic = false, EngineSettings settings = {}) {
        auto e = std::make_unique<BlockingEngine>(fs_, [this] { return now_; });
        EXPECT_EQ(e->Init("client.exe", folder_.path(), fullLogic, settings), Status::Ok);
        return e;
    }
    std::vector<std::string> Names(ListKind kind) const {
        const NameList* list = nullptr;
        EXPECT_EQ(engine_->GetList(static_cast<int32_t>(kind), list), Status::Ok);
        std::vector<std::string> out;
        for (const ListEntry& e : list->entries()) {
            out.push_back(e.name);
        }
        return out;
    }
    int32_t Add(ListKind kind, std::string_view name) {
        bool inserted = false;
        int32_t pos = -2;
        EXPECT_EQ(engine_->AddToList(static_cast<int32_t>(kind), name, inserted, pos), Status::Ok);
        return pos;
    }

    TempFolder folder_;
    StdFileSystem fs_;
    std::time_t now_ = At(2024, 5, 15, 12, 0, 0); // a Wednesday
    std::unique_ptr<BlockingEngine> engine_;
};

} // namespace qlx::engine::testing
