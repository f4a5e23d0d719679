// update.exe under Wine against a real update server on 127.0.0.1 (started
// by updater_network_test.sh): "check", an update that downloads, skips by
// CRC, runs its script and writes back, refused and oversized answers, a
// failing server with its network report, and cancellation mid-download.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include "common/win32/unique_handle.h"
#include "updater/core/crc32.h"
#include "updater/tests/win/updater_sandbox.h"

namespace qlx::updater::testing {
namespace {

using qlx::testing::ChildProcess;
using qlx::testing::WaitUntil;

// Nothing listens there: a server that fails.
const char* const kDeadServer = "-Server=http://127.0.0.1:9/u ";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string Address(const std::string& path) {
    return "http://127.0.0.1:" + Env("QLX_UPDATE_SERVER_PORT") + "/" + path;
}

// A file the server hands out, under a folder of its own per test.
void Serve(const std::string& path, const std::string& content) {
    std::string full = Env("QLX_UPDATE_SERVER_ROOT") + "\\" + path;
    std::replace(full.begin(), full.end(), '/', '\\');
    ::CreateDirectoryA(full.substr(0, full.rfind('\\')).c_str(), nullptr);
    HANDLE file = ::CreateFileA(full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << full;
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

// How often the server was asked for a path that contains `part`.
int Asked(const std::string& part) {
    const std::string log =
        UpdaterSandbox::ReadAbsolute(Env("QLX_UPDATE_SERVER_ROOT") + "\\requests.log");
    int n = 0;
    for (size_t at = log.find(part); at != std::string::npos; at = log.find(part, at + 1)) {
        ++n;
    }
    return n;
}

std::string FileLine(const std::string& name, const std::string& content, const std::string& path) {
    return "File: " + name + ", " + std::to_string(content.size()) + ", " +
           std::to_string(Crc32(content)) + ", " + Address(path) + "\r\n";
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Folders left in the sandbox besides those the test made.
int WorkingDirectoriesLeft(const UpdaterSandbox& box) {
    static const std::regex kName("[a-z]{8}");
    WIN32_FIND_DATAA found{};
    int n = 0;
    HANDLE find = ::FindFirstFileA((box.Dir() + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            n += (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                 std::regex_match(found.cFileName, kName);
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    return n;
}

struct CheckCase {
    std::string body;
    std::string arguments;
    bool asked; // the case's own server comes last on the command line
    int32_t code;
    std::string logLine;
    bool report;
};

TEST(UpdaterNetwork, CheckAnswersAndAFailingServer) {
    ASSERT_FALSE(Env("QLX_UPDATE_SERVER_PORT").empty()) << "run through updater_network_test.sh";
    const CheckCase cases[] = {
        // "auto" falls back to plain when the port speaks no TLS.
        {"ReturnCode: 0\r\n", "-UseSSL=auto", true, 25, "", false},
        {"\n\rReturnCode : 1\n\r", kDeadServer, true, 24,
         "Error: failed to open URL. See updater's error code for details.", true},
        {std::string(70000, 'x') + "\r\nReturnCode: 0\r\n", "", true, -11,
         "Fatal error: return code not found in response. Exiting.", false},
        {"", "-Server=" + Address("check/none"), false, -11, "ERROR: HTTP status code 404.", true},
    };
    int n = 0;
    for (const CheckCase& c : cases) {
        const std::string path = "check/" + std::to_string(n++);
        SCOPED_TRACE(path);
        Serve(path, c.body);
        UpdaterSandbox box;
        const std::string server = c.asked ? "-Server=" + Address(path) : "";
        EXPECT_EQ(box.Run("check -ProductVersion=1.2.3.4 " + c.arguments + " " + server), c.code);
        EXPECT_EQ(Asked(path + "?proto=3&v=1.2.3.4&platform=nt&os_version="), c.asked ? 1 : 0);
        if (!c.logLine.empty()) {
            EXPECT_TRUE(Has(box.LogMessages(), c.logLine)) << c.logLine;
        }
        // A failed request leaves its report; every address in it is this
        // machine's own.
        const std::string report = box.Read("diagnosis.dat");
        EXPECT_EQ(!report.empty(), c.report);
        if (c.report) {
            EXPECT_NE(report.find("Traceroute of host: 127.0.0.1"), std::string::npos);
            EXPECT_NE(report.find("Pinging 127.0.0.1: response code 0 from 127.0.0.1"),
                      std::string::npos);
            EXPECT_NE(report.find("End diagnostic report"), std::string::npos);
        }
        static const std::regex kAddress("[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+");
        for (std::sregex_iterator it(report.begin(), report.end(), kAddress), end; it != end;
             ++it) {
            EXPECT_TRUE(it->str().starts_with("127.")) << it->str();
        }
    }
}

// TLS only, against a certificate that no authority signed: the updater
// accepts it as the server protocol asks.
TEST(UpdaterNetwork, SecureOnlyRequestOverTls) {
    UpdaterSandbox box;
    Serve("tls/u", "ReturnCode: 1\r\n");
    EXPECT_EQ(box.Run("check -ProductVersion=1.2.3.4 -UseSSL=yes -Server=https://localhost:" +
                      Env("QLX_UPDATE_TLS_PORT") + "/tls/u"),
              24);
    EXPECT_EQ(Asked("/tls/u?proto=3"), 1);
    // "yes" never falls back to plain: a plain server is not reached.
    Serve("tls/plain", "ReturnCode: 1\r\n");
    EXPECT_EQ(box.Run("check -ProductVersion=1.2.3.4 -UseSSL=yes -Server=" + Address("tls/plain")),
              -11);
}

TEST(UpdaterNetwork, UpdateDownloadsSkipsFilesByCrcRunsItsScriptAndWritesBack) {
    UpdaterSandbox box;
    const std::string a(5000, 'a');
    const std::string b = "BBBB";
    const std::string script = "copy a.dll %AppDir%\\a.dll\r\n";
    Serve("up/a.dll", a);
    Serve("up/b.dll", b);
    Serve("up/update.script", script);
    Serve("up/version.dat", "1.2.4.0");
    Serve("up/u", "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\nExpire: 1\r\n" +
                      FileLine("a.dll", a, "up/a.dll") + FileLine("b.dll", b, "up/b.dll") +
                      FileLine("version.dat", "1.2.4.0", "up/version.dat") +
                      FileLine("update.script", script, "up/update.script"));
    box.Write("version.dat", "1.2.3.4");
    ::CreateDirectoryA((box.Dir() + "app").c_str(), nullptr);
    ::CreateDirectoryA((box.Dir() + "cache").c_str(), nullptr);
    box.Write("cache\\b.dll", b);
    EXPECT_EQ(box.Run("update -ProductVersion=@version.dat -VersionFile=version.dat -AppDir=\"" +
                      box.Dir() + "app\" -LookupDir=\"" + box.Dir() +
                      "cache\" -Server=" + Address("up/u")),
              21);
    EXPECT_EQ(box.Read("app\\a.dll"), a);
    EXPECT_EQ(box.Read("version.dat"), "1.2.4.0");
    EXPECT_EQ(Asked("up/a.dll"), 1);
    EXPECT_EQ(Asked("up/b.dll"), 0);
    EXPECT_EQ(Asked("up/u?"), 1);
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
    EXPECT_TRUE(Has(box.LogMessages(), "Warning: more than one \"Expire\" keyword found in "
                                       "server's response. Line ingnored."));
}

TEST(UpdaterNetwork, RefusedDownloadLeavesNothingBehind) {
    UpdaterSandbox box;
    Serve("refused/a.dll", "AAAA");
    Serve("refused/u", "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n" +
                           FileLine("a.dll", "AAAA", "refused/a.dll") +
                           FileLine("gone.dll", "G", "refused/gone.dll"));
    EXPECT_EQ(box.Run("update -ProductVersion=1.2.3.4 -Server=" + Address("refused/u")), -16);
    EXPECT_TRUE(Has(box.LogMessages(), "ERROR: file download HTTP status code 404."));
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
}

TEST(UpdaterNetwork, TerminationEventCancelsASlowDownload) {
    UpdaterSandbox box;
    const std::string big(400000, 'z');
    Serve("slowly/big.dat", big);
    Serve("slowly/u", "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n" +
                          FileLine("big.dat", big, "slow/slowly/big.dat"));
    ChildProcess updater;
    ASSERT_TRUE(
        box.Start(updater, "update -ProductVersion=1.2.3.4 -Server=" + Address("slowly/u")));
    ASSERT_TRUE(WaitUntil([] { return Asked("slow/slowly/big.dat") == 1; }, 20000));
    ::Sleep(300);
    EXPECT_EQ(CancelAndWait(updater), 26);
    EXPECT_TRUE(Has(box.LogMessages(), "Update canceled by user while downloading files."));
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
}

} // namespace
} // namespace qlx::updater::testing
