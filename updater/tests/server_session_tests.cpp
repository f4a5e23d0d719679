// Sessions that talk to a server: "check", the rounds of an update with its
// downloads, look-up directories, disks, version check, write-back,
// cancellation, clean-up and the network report, over the fake system.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "updater/core/crc32.h"
#include "updater/core/download_plan.h"
#include "updater/core/return_codes.h"
#include "updater/tests/test_support.h"

namespace qlx::updater::testing {
namespace {

const std::string kWork = "C:\\prog\\" + WorkingDirectoryName(0xbeef);

std::string FileLine(const std::string& name, const std::string& content) {
    return "File: " + name + ", " + std::to_string(content.size()) + ", " +
           std::to_string(Crc32(content)) + ", http://s/f/" + name + "\r\n";
}

// A server "http://s/u" answering `body`, files under "http://s/f/", and a
// roomy drive C:.
// The product is "QLX", and update.key trusts TestKey(1). Unless a case
// brings its own manifest, an update answer gets one signed by that key,
// listing each file of the answer with the content served for it.
struct ServerRig : EngineRig {
    bool autoManifest = true;
    std::string product = "QLX";
    explicit ServerRig(const std::string& commandLine)
        : EngineRig("-Server=http://s/u -ProductVersion=1.2.3.4 -ProductAbbreviation=QLX " +
                    commandLine) {
        platform.freeBytes["C:\\"] = 1 << 30;
        platform.dirs.insert("C:\\prog");
        platform.files["C:\\prog\\update.key"] = "# test key\r\n" + KeyLine(TestKey(1)) + "\r\n";
    }
    void Serve(const std::string& name, const std::string& content) {
        platform.servers["http://s/f/" + name].body = content;
    }
    // A manifest at http://s/f/update.manifest, and its "File" line.
    std::string ServeManifest(const std::string& text) {
        Serve("update.manifest", text);
        return FileLine("update.manifest", text);
    }
    void SignAnswers() {
        for (auto& [address, server] : platform.servers) {
            const ServerResponse answer = ParseServerResponse(server.body);
            if (address.starts_with("http://s/f/") || !FindRecord(answer, "File") ||
                server.body.find("update.manifest") != std::string::npos) {
                continue;
            }
            std::vector<std::pair<std::string, std::string>> files;
            for (const ResponseRecord& record : answer) {
                if (EqualsNoCase(record.keyword, "File") && record.values.size() == 4) {
                    const auto served = platform.servers.find(record.values[3]);
                    files.emplace_back(record.values[0],
                                       served == platform.servers.end()
                                           ? std::string(DecimalValue(record.values[1]), '?')
                                           : served->second.body);
                }
            }
            const auto version = FirstValue(answer, "ProductVersion");
            server.body += ServeManifest(Signed(
                ManifestBody(product, std::string(version.value_or("")), files), TestKey(1)));
        }
    }
    int32_t Run() {
        if (autoManifest) {
            SignAnswers();
        }
        UpdateEngine engine(platform, windows, log, [](int id) {
            // The report's hosts, as a build of this repository writes them.
            switch (id) {
            case 10100:
                return std::string("127.0.0.1");
            case 10000:
                return std::string("localhost");
            case 10001:
                return std::string("nowhere.invalid");
            default:
                return BuiltInText(id);
            }
        });
        return engine.RunSession();
    }
    int Requests(const std::string& prefix) const {
        int n = 0;
        for (const std::string& r : platform.requests) {
            n += r.starts_with(prefix) ? 1 : 0;
        }
        return n;
    }
};

struct ServerCase {
    std::string name;
    std::string commandLine;
    std::string body; // of http://s/u
    std::function<void(ServerRig&)> setup;
    int32_t code;
    std::vector<std::string> logLines;
    std::function<void(ServerRig&)> check;
};

const std::string kScript = "copy a.dll %AppDir%\\a.dll\r\n";
const std::string kUpdate = "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 100\r\n" +
                            FileLine("a.dll", "AAAA") + FileLine("update.script", kScript);

void ServeUpdate(ServerRig& rig) {
    rig.Serve("a.dll", "AAAA");
    rig.Serve("update.script", kScript);
}

TEST(ServerSession, ChecksUpdatesAndTheirFailures) {
    const ServerCase cases[] = {
        {"check available", "check", "ReturnCode: 0\r\n", {}, kUpdateAvailable, {}, {}},
        {"check up to date",
         "check -Server=http://s/second",
         "returncode:1\n\r",
         [](ServerRig& rig) { rig.platform.servers["http://s/second"].body = "ReturnCode:1"; },
         kNothingToUpdate,
         {},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/second"), 1); }},
        {"server's own code ends the session",
         "check -Server=http://s/second",
         "ReturnCode: 7\r\n",
         {},
         7,
         {},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/second"), 0); }},
        {"failing server, then one that answers",
         "check -Server=http://s/u -UseSSL=auto",
         "",
         [](ServerRig& rig) {
             rig.platform.commandLine = "update.exe -Server=http://down/u -ProductVersion=1.2.3.4 "
                                        "check -Server=http://s/u -UseSSL=auto";
             rig.platform.servers["http://s/u"].body = "ReturnCode: 1\r\n";
             rig.platform.servers["http://s/u"].secure = false;
         },
         kNothingToUpdate,
         {"Sending request:  http://down/u?proto=3&v=1.2.3.4&platform=nt&os_version=6.1.7601.1.0",
          "Error: failed to open URL. See updater's error code for details."},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.platform.reports, 1);
             EXPECT_EQ(rig.Requests("secure http://s/u"), 1);
             EXPECT_EQ(rig.Requests("plain http://s/u"), 1);
             EXPECT_EQ(rig.Requests("direct http://down/u"), 1);
         }},
        {"secure only never goes plain",
         "check -UseSSL=Yes",
         "ReturnCode: 1\r\n",
         [](ServerRig& rig) { rig.platform.servers["http://s/u"].secure = false; },
         kNetworkFailure,
         {},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain"), 0); }},
        {"an https address goes over TLS only, whatever UseSSL says",
         "check",
         "",
         [](ServerRig& rig) {
             rig.platform.commandLine = "u.exe -Server=https://s/bad -Server=https://s/tls "
                                        "-ProductVersion=1.2.3.4 check -UseSSL=no";
             rig.platform.servers["https://s/tls"].body = "ReturnCode: 1\r\n";
             rig.platform.servers["https://s/bad"].body = "ReturnCode: 0\r\n";
             rig.platform.servers["https://s/bad"].secure = false;
         },
         kNothingToUpdate,
         {"Error: the server's certificate is not trusted, error code: 12057."},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.Requests("secure https://s/tls"), 1);
             EXPECT_EQ(rig.Requests("plain"), 0);
             EXPECT_EQ(rig.Requests("direct secure https://s/bad"), 1);
         }},
        {"unknown SSL option works as auto",
         "check -UseSSL=on",
         "ReturnCode: 1\r\n",
         {},
         kNothingToUpdate,
         {"Warning: invalid SSL option: on Defaulting to \"auto\"."},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("secure"), 1); }},
        {"status other than 200",
         "check",
         "ReturnCode: 0\r\n",
         [](ServerRig& rig) { rig.platform.servers["http://s/u"].status = 404; },
         kNetworkFailure,
         {"ERROR: HTTP status code 404."},
         {}},
        {"reads that keep failing end the request",
         "check",
         "ReturnCode: 0\r\n",
         [](ServerRig& rig) { rig.platform.servers["http://s/u"].readError = 12002; },
         kNetworkFailure,
         {},
         {}},
        {"invalid handle",
         "check",
         "",
         [](ServerRig& rig) { rig.platform.servers["http://s/u"].readError = 6; },
         kNetworkFailure,
         {"ERROR: InternetReadFile returns \"Handle is invalid\"."},
         {}},
        {"nothing after 65,535 bytes is read",
         "check -DetailedLog=yes",
         "Text: x\r\n" + std::string(70000, ' ') + "\r\nReturnCode: 0\r\n",
         {},
         kNetworkFailure,
         {"Fatal error: return code not found in response. Exiting.",
          "Server response (parsed):", "Text: x"},
         {}},
        {"an address without host",
         "check",
         "",
         [](ServerRig& rig) {
             rig.platform.commandLine = "u.exe -Server=nohost -ProductVersion=1.2.3.4 check";
         },
         kBadServerAddress,
         {},
         {}},
        {"update with its script and the write-back to every kind of storage",
         "update -ProductVersion=@ver.dat -ProductName=#HKLM\\Software\\Q\\Name "
         "-AppDir=C:\\app -Server=http://s/second",
         kUpdate + "ProductName: Quellix 2\r\nAbbr: Q2\r\nText: Hello: world, again\r\n",
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.files["C:\\prog\\ver.dat"] = "1.2.3.4";
             rig.platform.files["C:\\prog\\updater.dat"] = "[general]\r\nProductAbbreviation=Q\r\n";
             rig.product = "Q";
             rig.platform.registry.CreateKey(RegRoot::LocalMachine, "Software\\Q");
             rig.platform.registry.SetValue(RegRoot::LocalMachine, "Software\\Q", "Name",
                                            RegData::String("Quellix"));
         },
         kUpdated,
         {"Working directory is set to " + kWork, "Downloaded file: " + kWork + "\\a.dll"},
         [](ServerRig& rig) {
             auto& p = rig.platform;
             EXPECT_EQ(p.files["C:\\app\\a.dll"], "AAAA");
             EXPECT_EQ(p.files["C:\\prog\\ver.dat"], "1.2.4.0");
             EXPECT_EQ(p.registry.GetValue(RegRoot::LocalMachine, "Software\\Q", "Name"),
                       RegData::String("Quellix 2"));
             EXPECT_EQ(p.files["C:\\prog\\updater.dat"], "[general]\r\nProductAbbreviation=Q2\r\n");
             // Downloads and the working directory are gone; one server did it.
             EXPECT_FALSE(p.files.count(kWork + "\\a.dll"));
             EXPECT_FALSE(p.dirs.count(kWork));
             EXPECT_EQ(rig.Requests("plain http://s/second"), 0);
             EXPECT_NE(std::find(rig.windows.calls.begin(), rig.windows.calls.end(),
                                 "message Hello|world, again"),
                       rig.windows.calls.end());
         }},
        {"without Expire every file ends its round; earlier files are found by CRC",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("a.dll", "AAAA") +
             FileLine("b.dll", "BB") + FileLine("c.dll", "C"),
         [](ServerRig& rig) {
             rig.Serve("a.dll", "AAAA");
             rig.Serve("b.dll", "BB");
             rig.Serve("c.dll", "C");
         },
         kUpdated,
         {},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.Requests("plain http://s/u"), 3);
             EXPECT_EQ(rig.Requests("plain http://s/f/a.dll"), 1);
             EXPECT_EQ(rig.Requests("plain http://s/f/c.dll"), 1);
         }},
        {"a server that keeps asking for more rounds is left after the last one",
         "update",
         [] {
             std::string body = "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n";
             for (int i = 0; i <= kMaxUpdateRounds; ++i) {
                 body += FileLine("f" + std::to_string(i) + ".dll", "F");
             }
             return body;
         }(),
         [](ServerRig& rig) {
             for (int i = 0; i <= kMaxUpdateRounds; ++i) {
                 rig.Serve("f" + std::to_string(i) + ".dll", "F");
             }
         },
         kGeneralFailure,
         {"Fatal error: the server asked for more than 64 rounds of downloads. Exiting."},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.Requests("plain http://s/u"), kMaxUpdateRounds);
             EXPECT_FALSE(rig.platform.dirs.count(kWork));
         }},
        {"the first of two Expire lines counts",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 1\r\nExpire: 1000\r\n" +
             FileLine("a.dll", "AAAA") + FileLine("b.dll", "BB"),
         [](ServerRig& rig) {
             rig.Serve("a.dll", "AAAA");
             rig.Serve("b.dll", "BB");
             rig.platform.msPerRead = 600;
         },
         kUpdated,
         {"Warning: more than one \"Expire\" keyword found in server's response. Line ingnored."},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/u"), 2); }},
        {"a file whose CRC is not the declared one is refused",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("a.dll", "AAAA") +
             FileLine("b.dll", "BB"),
         [](ServerRig& rig) {
             rig.Serve("a.dll", "AAAB");
             rig.Serve("b.dll", "BB");
         },
         kGeneralFailure,
         {"Update refused: a.dll: its CRC-32 is " + std::to_string(Crc32("AAAB")) +
          ", not the declared " + std::to_string(Crc32("AAAA")) + "."},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/f/b.dll"), 0); }},
        {"a file refused after the deadline asks once more, then fails",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("a.dll", "AAAA"),
         [](ServerRig& rig) {
             rig.Serve("a.dll", "AAAA");
             rig.platform.servers["http://s/f/a.dll"].status = 404;
         },
         kDownloadStatus,
         {},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/u"), 2); }},
        {"files present in a look-up directory are not downloaded",
         "update -LookupDir=%cache% -cache=D:\\cache",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.files["D:\\cache\\a.dll"] = "AAAA";
             rig.platform.files["D:\\cache\\update.script"] = "other";
         },
         kUpdated,
         {},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.Requests("plain http://s/f/a.dll"), 0);
             EXPECT_EQ(rig.Requests("plain http://s/f/update.script"), 1);
             const std::string compared =
                 std::to_string(Crc32("AAAA")) + " " + std::to_string(Crc32("AAAA"));
             EXPECT_NE(std::find(rig.platform.debug.begin(), rig.platform.debug.end(), compared),
                       rig.platform.debug.end());
         }},
        {"no room on the target's drive: the first fixed drive with room",
         "update -TargetDir=E:\\t",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.freeBytes = {{"C:\\", 4}, {"D:\\", 1 << 20}, {"E:\\", 4}};
             rig.platform.drives = {{"C:\\", "D:\\"}};
         },
         kUpdated,
         {"Working directory is set to D:\\" + WorkingDirectoryName(0xbeef)},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.platform.removedDirs,
                       (std::vector<std::string>{"E:\\t\\" + WorkingDirectoryName(0xbeef),
                                                 "D:\\" + WorkingDirectoryName(0xbeef)}));
         }},
        {"no drive with room",
         "update -TargetDir=Updates",
         kUpdate,
         [](ServerRig& rig) { rig.platform.freeBytes["C:\\"] = 10; },
         kNoDiskSpace,
         {"Fatal error: not enough disk space. Exiting."},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.platform.removedDirs, std::vector<std::string>{kWork});
         }},
        {"a downloaded version file that does not hold the new version",
         "update -VersionFile=pv.dat",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("pv.dat", "7.1.2.4.1"),
         [](ServerRig& rig) { rig.Serve("pv.dat", "7.1.2.4.1"); },
         kVersionCheckFailed,
         {"Version check failure: original version is 1.2.3.4, version in server response is "
          "1.2.4.0, version in downloaded pv.dat is 1.2.4.1"},
         [](ServerRig& rig) { EXPECT_FALSE(rig.platform.files.count(kWork + "\\pv.dat")); }},
        {"a database update's title",
         "update -ProductName=Q",
         "ReturnCode: 0\r\nProductVersion: 99.5.6.7\r\n" + FileLine("a.dll", "AAAA"),
         [](ServerRig& rig) { rig.Serve("a.dll", "AAAA"); },
         kUpdated,
         {},
         [](ServerRig& rig) {
             EXPECT_NE(std::find(rig.windows.calls.begin(), rig.windows.calls.end(),
                                 "title Downloading Q databases 1.5.6.7"),
                       rig.windows.calls.end());
         }},
        {"a version file with the new version passes",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("pv.dat", "1.2.4.0"),
         [](ServerRig& rig) { rig.Serve("pv.dat", "1.2.4.0"); },
         kUpdated,
         {},
         {}},
        {"a file the server refuses: -16 and nothing left behind",
         "update",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.servers["http://s/f/a.dll"].status = 404;
         },
         kDownloadStatus,
         {"ERROR: file download HTTP status code 404."},
         [](ServerRig& rig) {
             EXPECT_FALSE(rig.platform.files.count(kWork + "\\a.dll"));
             EXPECT_FALSE(rig.platform.dirs.count(kWork));
         }},
        {"a file address that does not open",
         "update",
         kUpdate,
         {},
         kFileUrlNotOpened,
         {"Unable to open url http://s/f/a.dll while downloading file " + kWork + "\\a.dll"},
         {}},
        {"a file name that leaves the working directory",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("..\\evil.dll", "E"),
         {},
         kLocalFileNotCreated,
         {},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/f"), 0); }},
        {"a name the system resolves out of the working directory",
         "update",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("a.dll", "E"),
         [](ServerRig& rig) { rig.platform.fullPaths[kWork + "\\a.dll"] = "C:\\prog\\a.dll"; },
         kLocalFileNotCreated,
         {"Fatal error: file name out of the working directory in server's response: a.dll. "
          "Exiting."},
         [](ServerRig& rig) { EXPECT_EQ(rig.Requests("plain http://s/f"), 0); }},
        {"a working directory that exists already is never reused",
         "update",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.dirs.insert(kWork);
         },
         kUpdated,
         {"Working directory is set to C:\\prog\\" + WorkingDirectoryName(0xbef0)},
         [](ServerRig& rig) { EXPECT_TRUE(rig.platform.dirs.count(kWork)); }},
        {"a downloaded script with a failing line installs nothing and writes nothing back",
         "update -ProductVersion=@ver.dat -AppDir=C:\\app",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("a.dll", "AAAA") +
             FileLine("update.script", "copy a.dll %AppDir%\\a.dll\r\ncopy gone.dll x.dll\r\n"),
         [](ServerRig& rig) {
             rig.Serve("a.dll", "AAAA");
             rig.Serve("update.script", "copy a.dll %AppDir%\\a.dll\r\ncopy gone.dll x.dll\r\n");
             rig.platform.files["C:\\prog\\ver.dat"] = "1.2.3.4";
             rig.platform.files["C:\\app\\a.dll"] = "old";
         },
         kScriptFailed,
         {"Update not completed: 1 replaced files restored."},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.platform.files["C:\\app\\a.dll"], "old");
             EXPECT_EQ(rig.platform.files["C:\\prog\\ver.dat"], "1.2.3.4");
         }},
        {"cancelled during a download",
         "update",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             // After the answer and the manifest: during a.dll.
             rig.platform.terminationAfterChecks = 4;
         },
         kCancelled,
         {"Update canceled by user while downloading files."},
         [](ServerRig& rig) { EXPECT_FALSE(rig.platform.files.count(kWork + "\\a.dll")); }},
        {"a script that cannot run is no update",
         "update -BreakScriptIfFail=yes",
         "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\n" + FileLine("update.script", "bad"),
         [](ServerRig& rig) { rig.Serve("update.script", "bad"); },
         kScriptFailed,
         {},
         {}},
        {"a language pack: its language asked for, no write-back, the language in use kept",
         "getlanguage -GetLanguage=de -ProductVersion=@ver.dat -AppDir=C:\\app",
         kUpdate,
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.files["C:\\prog\\ver.dat"] = "1.2.3.4";
             rig.platform.files["C:\\prog\\language.dat"] = "en\r\nDE\r\n";
         },
         kUpdated,
         {},
         [](ServerRig& rig) {
             auto& p = rig.platform;
             EXPECT_EQ(p.files["C:\\prog\\ver.dat"], "1.2.3.4");
             EXPECT_EQ(p.files["C:\\prog\\language.dat"], "de\r\nen\r\n");
             EXPECT_EQ(
                 rig.Requests("plain http://s/u?proto=3&v=1.2.3.4&abbr=QLX&platform=nt&os_version="
                              "6.1.7601.1.0&lang=de"),
                 1);
             EXPECT_NE(
                 std::find(rig.windows.calls.begin(), rig.windows.calls.end(), "language done"),
                 rig.windows.calls.end());
         }},
        {"a language pack the server does not have",
         "getlanguage -GetLanguage=de",
         "ReturnCode: 1\r\n",
         {},
         kNothingToUpdate,
         {},
         [](ServerRig& rig) { EXPECT_FALSE(rig.platform.files.count("C:\\prog\\language.dat")); }},
        {"the language window lists offered and installed packs; the choice is installed",
         "configurelanguagepacks -ProductName=Q -AppDir=C:\\app",
         kUpdate + "Language: de, Deutsch\r\nLanguage: fr\r\nLanguage: DE, again\r\n",
         [](ServerRig& rig) {
             ServeUpdate(rig);
             rig.platform.files["C:\\prog\\language.dat"] = "en\r\nfr\r\n";
             rig.windows.chosenLanguage = "de";
         },
         kUpdated,
         {"Language pack chosen: de."},
         [](ServerRig& rig) {
             const std::vector<LanguagePack> packs{
                 {"de", "Deutsch", false}, {"fr", "fr", true}, {"en", "en", true}};
             EXPECT_EQ(rig.windows.offeredPacks, packs);
             EXPECT_EQ(rig.platform.files["C:\\app\\a.dll"], "AAAA");
             EXPECT_EQ(rig.Requests("plain http://s/u"), 2);
             EXPECT_EQ(
                 rig.Requests("plain http://s/u?proto=3&v=1.2.3.4&abbr=QLX&platform=nt&os_version="
                              "6.1.7601.1.0&lang=de"),
                 1);
             const auto& calls = rig.windows.calls;
             const auto chosen = std::find(calls.begin(), calls.end(),
                                           "choose language en in Q - Choose your language");
             EXPECT_NE(std::find(chosen, calls.end(), "language changed"), calls.end());
         }},
        {"the language window closed without a choice",
         "configurelanguagepacks",
         "ReturnCode: 0\r\nLanguage: de, Deutsch\r\n",
         {},
         kNothingToUpdate,
         {},
         [](ServerRig& rig) {
             EXPECT_EQ(rig.Requests("plain http://s/u"), 1);
             EXPECT_EQ(
                 std::find(rig.windows.calls.begin(), rig.windows.calls.end(), "language changed"),
                 rig.windows.calls.end());
         }},
    };
    for (const ServerCase& c : cases) {
        SCOPED_TRACE(c.name);
        ServerRig rig(c.commandLine);
        rig.platform.servers["http://s/u"].body = c.body;
        if (c.setup) {
            c.setup(rig);
        }
        EXPECT_EQ(rig.Run(), c.code) << ::testing::PrintToString(rig.log.lines);
        for (const std::string& line : c.logLines) {
            EXPECT_TRUE(rig.log.Has(line)) << "missing: " << line;
        }
        if (c.check) {
            c.check(rig);
        }
    }
}

// Answers that must not be trusted: each ends with -18 and its one log line,
// nothing installed, run or written back, the downloads removed; the next
// server is still asked.
TEST(ServerSession, UntrustedUpdatesAreRefused) {
    const std::string& script = kScript;
    const std::vector<std::pair<std::string, std::string>> files{{"a.dll", "AAAA"},
                                                                 {"update.script", script}};
    const std::string body = ManifestBody("QLX", "1.2.4.0", files);
    struct Case {
        std::string name;
        std::string manifest;                  // served as update.manifest; empty: none
        std::function<void(ServerRig&)> setup; // after the files are served
        std::string logLine;
    } const cases[] = {
        {"no manifest", "", {}, "Update refused: update.manifest: the server's answer names none."},
        {"a manifest without a signature",
         body,
         {},
         "Update refused: update.manifest: no signature."},
        {"a manifest signed by another key",
         Signed(body, TestKey(2)),
         {},
         "Update refused: update.manifest: the signature does not verify with any key of "
         "update.key."},
        {"a manifest altered after signing",
         [&] {
             std::string text = Signed(body, TestKey(1));
             text[text.find("AAAA") == std::string::npos ? text.find("a.dll") : 0] = 'b';
             return text;
         }(),
         {},
         "Update refused: update.manifest: the signature does not verify with any key of "
         "update.key."},
        {"a file altered with its size and CRC kept",
         Signed(ManifestBody("QLX", "1.2.4.0", {{"a.dll", "AAAB"}, {"update.script", script}}),
                TestKey(1)),
         {},
         "Update refused: a.dll: its SHA-256 " + HexDigest(FakeVerifier::Digest("AAAA")) +
             " is not the one of update.manifest."},
        {"a body longer than declared", Signed(body, TestKey(1)),
         [](ServerRig& rig) { rig.Serve("a.dll", "AAAAA"); },
         "Update refused: a.dll: the server sends more than the declared 4 bytes."},
        {"a body shorter than declared", Signed(body, TestKey(1)),
         [](ServerRig& rig) { rig.Serve("a.dll", "AAA"); },
         "Update refused: a.dll: the server sent 3 of the declared 4 bytes."},
        {"a file not in the manifest",
         Signed(ManifestBody("QLX", "1.2.4.0", {{"update.script", script}}), TestKey(1)),
         {},
         "Update refused: a.dll: it is not listed in update.manifest."},
        {"a size other than the manifest's",
         Signed(ManifestBody("QLX", "1.2.4.0", {{"a.dll", "AAAAA"}, {"update.script", script}}),
                TestKey(1)),
         {},
         "Update refused: a.dll: its size 4 is not the size 5 of update.manifest."},
        {"an older version", Signed(ManifestBody("QLX", "1.2.4.0", files), TestKey(1)),
         [](ServerRig& rig) { rig.platform.files["C:\\prog\\ver.dat"] = "1.2.5.0"; },
         "Update refused: update.manifest: its version 1.2.4.0 is not newer than the installed "
         "1.2.5.0."},
        {"a manifest version other than the answer's",
         Signed(ManifestBody("QLX", "1.2.9.0", files), TestKey(1)),
         {},
         "Update refused: update.manifest: its version 1.2.9.0 is not the version 1.2.4.0 of "
         "the server's answer."},
        {"another product's set",
         Signed(ManifestBody("QLY", "1.2.4.0", files), TestKey(1)),
         {},
         "Update refused: update.manifest: it is for product \"QLY\", not \"QLX\"."},
        {"no update.key", Signed(body, TestKey(1)),
         [](ServerRig& rig) { rig.platform.files.erase("C:\\prog\\update.key"); },
         "Fatal error: no update signing key (update.key); downloads are not trusted."},
        {"an empty update.key", Signed(body, TestKey(1)),
         [](ServerRig& rig) { rig.platform.files["C:\\prog\\update.key"] = "# none\r\n"; },
         "Fatal error: no update signing key (update.key); downloads are not trusted."},
        {"a file in a look-up folder with the CRC but not the SHA-256",
         Signed(ManifestBody("QLX", "1.2.4.0", {{"a.dll", "AAAB"}, {"update.script", script}}),
                TestKey(1)),
         [](ServerRig& rig) { rig.platform.files["D:\\cache\\a.dll"] = "AAAA"; },
         "Update refused: a.dll: its SHA-256 " + HexDigest(FakeVerifier::Digest("AAAA")) +
             " is not the one of update.manifest."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ServerRig rig("update -ProductVersion=@ver.dat -AppDir=C:\\app -LookupDir=D:\\cache "
                      "-Server=http://s/second");
        rig.autoManifest = false;
        rig.platform.files["C:\\prog\\ver.dat"] = "1.2.3.4";
        rig.Serve("a.dll", "AAAA");
        rig.Serve("update.script", script);
        std::string answer = kUpdate;
        if (!c.manifest.empty()) {
            answer += rig.ServeManifest(c.manifest);
        }
        rig.platform.servers["http://s/u"].body = answer;
        rig.platform.servers["http://s/second"].body = "ReturnCode: 1\r\n";
        if (c.setup) {
            c.setup(rig);
        }
        const std::string version = rig.platform.files["C:\\prog\\ver.dat"];
        const bool keyless =
            !rig.platform.files.count("C:\\prog\\update.key") ||
            rig.platform.files["C:\\prog\\update.key"].find("ecdsa") == std::string::npos;
        EXPECT_EQ(rig.Run(), keyless ? kGeneralFailure : kNothingToUpdate)
            << ::testing::PrintToString(rig.log.lines);
        EXPECT_TRUE(rig.log.Has(c.logLine)) << ::testing::PrintToString(rig.log.lines);
        int refusals = 0;
        for (const std::string& line : rig.log.lines) {
            refusals += line.starts_with("Update refused: ") ? 1 : 0;
        }
        EXPECT_EQ(refusals, keyless ? 0 : 1);
        EXPECT_TRUE(rig.platform.installed.empty());
        EXPECT_TRUE(rig.platform.started.empty());
        EXPECT_FALSE(rig.platform.files.count("C:\\app\\a.dll"));
        EXPECT_EQ(rig.platform.files["C:\\prog\\ver.dat"], version);
        for (const auto& [path, content] : rig.platform.files) {
            EXPECT_FALSE(path.starts_with(kWork)) << path;
        }
        // The keys are missing for every server alike; otherwise the next
        // server is asked.
        EXPECT_EQ(rig.Requests("plain http://s/second"), keyless ? 0 : 1);
        EXPECT_EQ(rig.Requests("plain http://s/u"), keyless ? 0 : 1);
    }
}

// The good path: the signature and every file's hash are checked and logged.
TEST(ServerSession, TrustedUpdateLogsWhatWasVerified) {
    ServerRig rig("update -AppDir=C:\\app");
    rig.platform.servers["http://s/u"].body = kUpdate;
    ServeUpdate(rig);
    EXPECT_EQ(rig.Run(), kUpdated) << ::testing::PrintToString(rig.log.lines);
    EXPECT_TRUE(rig.log.Has("Verified signature of update.manifest: QLX 1.2.4.0, 2 files."));
    EXPECT_TRUE(rig.log.Has("Verified file: a.dll, 4 bytes, SHA-256 " +
                            HexDigest(FakeVerifier::Digest("AAAA"))));
    EXPECT_EQ(rig.platform.files["C:\\app\\a.dll"], "AAAA");
}

TEST(ServerSession, NetworkReportAfterAFailedRequest) {
    ServerRig rig("check");
    rig.platform.servers.clear();
    rig.platform.network.names["localhost"] = 0x7f000001;
    EXPECT_EQ(rig.Run(), kNetworkFailure);
    EXPECT_EQ(rig.platform.report,
              (std::vector<std::string>{
                  "Diagnostic report begin.", "Traceroute of host: 127.0.0.1", ", IP=127.0.0.1",
                  "127.0.0.1, TTL=1, 1 ms", "Resolving hostname", "Resolving hostname",
                  "nowhere.invalid: unknown host", "ping 127.0.0.1", "End diagnostic report\r\n"}));
    // The connecting state is kept 2 s, then hidden after the report.
    EXPECT_GE(rig.platform.clock, 3000u);
    EXPECT_EQ(rig.windows.calls[rig.windows.calls.size() - 4], "hide connecting");

    ServerRig slow("check");
    slow.platform.servers.clear();
    slow.platform.network.traceTimesOut = true;
    slow.Run();
    EXPECT_EQ(slow.platform.report[3], "Error: operation timed out.");
}

} // namespace
} // namespace qlx::updater::testing
