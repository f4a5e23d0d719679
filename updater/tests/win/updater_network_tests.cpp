// update.exe under Wine against a real update server on 127.0.0.1 (started
// by updater_network_test.sh): "check", an update that downloads, skips by
// CRC, runs its script and writes back, refused and oversized answers, a
// failing server with its network report, and cancellation mid-download;
// the windows: final and server messages, appearances, Cancel, languages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <regex>

#include <windows.h>

#include <bcrypt.h>
#include <commctrl.h>
#include <aclapi.h>
#include <sddl.h>
#include <wincrypt.h>
#include <wininet.h>

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

std::string Base64(const std::string& bytes) {
    DWORD size = 0;
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    ::CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &size);
    std::string text(size, '\0');
    ::CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, text.data(), &size);
    text.resize(size);
    return text;
}

std::string FromBase64(const std::string& text) {
    DWORD size = 0;
    ::CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr);
    std::string bytes(size, '\0');
    ::CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64,
                           reinterpret_cast<BYTE*>(bytes.data()), &size, nullptr, nullptr);
    bytes.resize(size);
    return bytes;
}

std::string Sha256(const std::string& bytes) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    std::string digest(32, '\0');
    ::BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    ::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0);
    ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                     static_cast<ULONG>(bytes.size()), 0);
    ::BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), 32, 0);
    ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(alg, 0);
    return digest;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

// `body` with its "Signature:" line, signed through CNG by the private key
// the test script made with python3-cryptography (or by a key of its own).
std::string Signed(const std::string& body, bool byTheTrustedKey = true) {
    BCRYPT_ALG_HANDLE alg = nullptr;
    BCRYPT_KEY_HANDLE key = nullptr;
    EXPECT_EQ(::BCryptOpenAlgorithmProvider(&alg, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0), 0);
    if (byTheTrustedKey) {
        const std::string raw = FromBase64(Env("QLX_TEST_SIGNING_RAW"));
        EXPECT_EQ(raw.size(), 96u) << "run through updater_network_test.sh";
        BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
        std::string blob(reinterpret_cast<const char*>(&header), sizeof header);
        blob += raw;
        EXPECT_EQ(::BCryptImportKeyPair(alg, nullptr, BCRYPT_ECCPRIVATE_BLOB, &key,
                                        reinterpret_cast<PUCHAR>(blob.data()),
                                        static_cast<ULONG>(blob.size()), 0),
                  0);
    } else {
        ::BCryptGenerateKeyPair(alg, &key, 256, 0);
        ::BCryptFinalizeKeyPair(key, 0);
    }
    std::string digest = Sha256(body);
    std::string signature(64, '\0');
    ULONG size = 0;
    EXPECT_EQ(::BCryptSignHash(key, nullptr, reinterpret_cast<PUCHAR>(digest.data()), 32,
                               reinterpret_cast<PUCHAR>(signature.data()), 64, &size, 0),
              0);
    ::BCryptDestroyKey(key);
    ::BCryptCloseAlgorithmProvider(alg, 0);
    return body + "Signature: " + Base64(signature) + "\r\n";
}

using Files = std::vector<std::pair<std::string, std::string>>;

std::string ManifestBody(const std::string& version, const Files& files,
                         const std::string& product = "QLX") {
    std::string body = "Product: " + product + "\r\nVersion: " + version + "\r\n";
    for (const auto& [name, content] : files) {
        body += "File: " + name + ", " + std::to_string(content.size()) + ", " +
                Hex(Sha256(content)) + "\r\n";
    }
    return body;
}

// `manifest` served as `folder`/update.manifest: its "File" line.
std::string ServeManifest(const std::string& folder, const std::string& manifest) {
    Serve(folder + "/update.manifest", manifest);
    return FileLine("update.manifest", manifest, folder + "/update.manifest");
}

// How many entries of the user's Internet cache have addresses that start
// with `prefix`.
int CachedUnder(const std::string& prefix) {
    std::vector<char> buffer(64 * 1024);
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    DWORD size = static_cast<DWORD>(buffer.size());
    HANDLE find = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
    int found = 0;
    for (bool more = find != nullptr; more;) {
        found += std::string(entry->lpszSourceUrlName).starts_with(prefix) ? 1 : 0;
        size = static_cast<DWORD>(buffer.size());
        more = ::FindNextUrlCacheEntryA(find, entry, &size);
    }
    if (find != nullptr) {
        ::FindCloseUrlCache(find);
    }
    return found;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The session's working folders in the sandbox, besides those the test made.
std::vector<std::string> WorkingDirectories(const UpdaterSandbox& box) {
    static const std::regex kName("[a-z]{8}");
    WIN32_FIND_DATAA found{};
    std::vector<std::string> dirs;
    HANDLE find = ::FindFirstFileA((box.Dir() + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                std::regex_match(found.cFileName, kName)) {
                dirs.push_back(box.Dir() + found.cFileName);
            }
        } while (::FindNextFileA(find, &found));
        ::FindClose(find);
    }
    return dirs;
}

int WorkingDirectoriesLeft(const UpdaterSandbox& box) {
    return static_cast<int>(WorkingDirectories(box).size());
}

// The folder's access list as "SID:mask" entries, and "protected" when it
// inherits nothing from its parent.
std::vector<std::string> AccessList(const std::string& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    std::vector<std::string> list;
    if (::GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {"unreadable"};
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    if (control & SE_DACL_PROTECTED) {
        list.push_back("protected");
    }
    // Read ACE by ACE: Wine's GetExplicitEntriesFromAclA is not implemented.
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        char* sid = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) {
            list.push_back("an entry that does not read");
        } else if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) {
            list.push_back("an entry of type " + std::to_string(ace->AceType));
        } else if (auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
                   ::ConvertSidToStringSidA(&allowed->SidStart, &sid)) {
            list.push_back(std::string(sid) + ":" + std::to_string(allowed->Mask));
            ::LocalFree(sid);
        }
    }
    if (!dacl) {
        list.push_back("no access list");
    }
    ::LocalFree(descriptor);
    return list;
}

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    char buffer[256] = {};
    DWORD size = sizeof buffer;
    char* sid = nullptr;
    std::string text;
    if (::GetTokenInformation(token, TokenUser, buffer, size, &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
        text = sid;
        ::LocalFree(sid);
    }
    ::CloseHandle(token);
    return text;
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

// TLS against certificates of a throwaway authority that the system trusts
// for the length of the test: only a valid certificate for this host is
// accepted; each bad one is refused with its own error, and an https://
// address never goes plain whatever UseSSL says.
TEST(UpdaterNetwork, SecureRequestsAcceptOnlyAValidCertificate) {
    ASSERT_EQ(Env("QLX_TEST_CA_TRUSTED"), "1") << "the test authority is not trusted";
    Serve("tls/u", "ReturnCode: 1\r\n");
    struct Case {
        const char* port;
        const char* ssl;
        int32_t code;
        const char* logLine;
    } const cases[] = {
        {"QLX_UPDATE_TLS_PORT", "yes", 24, nullptr},
        {"QLX_UPDATE_TLS_PORT", "no", 24, nullptr},
        {"QLX_UPDATE_WRONGHOST_PORT", "auto", -11,
         "Error: the server's certificate is not trusted, error code: 12038."},
        {"QLX_UPDATE_EXPIRED_PORT", "no", -11,
         "Error: the server's certificate is not trusted, error code: 12037."},
        {"QLX_UPDATE_UNKNOWNCA_PORT", "yes", -11,
         "Error: the server's certificate is not trusted, error code: 12057."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.port) + " UseSSL=" + c.ssl);
        UpdaterSandbox box;
        const int before = Asked("/tls/u?proto=3");
        EXPECT_EQ(box.Run(std::string("check -ProductVersion=1.2.3.4 -UseSSL=") + c.ssl +
                          " -Server=https://localhost:" + Env(c.port) + "/tls/u"),
                  c.code);
        // A refused certificate ends the exchange before any request is sent.
        EXPECT_EQ(Asked("/tls/u?proto=3") - before, c.code == 24 ? 1 : 0);
        if (c.logLine) {
            EXPECT_TRUE(Has(box.LogMessages(), c.logLine)) << c.logLine;
        }
    }
    // "yes" never falls back to plain: a plain server is not reached.
    UpdaterSandbox box;
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
    Serve("up/u",
          "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\nExpire: 1\r\n" +
              FileLine("a.dll", a, "up/a.dll") + FileLine("b.dll", b, "up/b.dll") +
              FileLine("version.dat", "1.2.4.0", "up/version.dat") +
              FileLine("update.script", script, "up/update.script") +
              ServeManifest("up", Signed(ManifestBody("1.2.4.0", {{"a.dll", a},
                                                                  {"b.dll", b},
                                                                  {"version.dat", "1.2.4.0"},
                                                                  {"update.script", script}}))));
    box.Write("version.dat", "1.2.3.4");
    ::CreateDirectoryA((box.Dir() + "app").c_str(), nullptr);
    ::CreateDirectoryA((box.Dir() + "cache").c_str(), nullptr);
    box.Write("cache\\b.dll", b);
    EXPECT_EQ(box.Run("update -ProductAbbreviation=QLX -ProductVersion=@version.dat "
                      "-VersionFile=version.dat -AppDir=\"" +
                      box.Dir() + "app\" -LookupDir=\"" + box.Dir() +
                      "cache\" -Server=" + Address("up/u")),
              21);
    EXPECT_EQ(box.Read("app\\a.dll"), a);
    EXPECT_EQ(box.Read("version.dat"), "1.2.4.0");
    EXPECT_EQ(Asked("up/a.dll"), 1);
    EXPECT_EQ(Asked("up/b.dll"), 0);
    EXPECT_EQ(Asked("up/u?"), 1);
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
    // Nothing of the exchange stays behind in the user's Internet cache.
    EXPECT_EQ(CachedUnder(Address("up/")), 0);
    EXPECT_TRUE(Has(box.LogMessages(), "Warning: more than one \"Expire\" keyword found in "
                                       "server's response. Line ingnored."));
    // Checked with the key pair made by python3-cryptography, through CNG.
    EXPECT_TRUE(
        Has(box.LogMessages(), "Verified signature of update.manifest: QLX 1.2.4.0, 4 files."));
    EXPECT_TRUE(
        Has(box.LogMessages(), "Verified file: a.dll, 5000 bytes, SHA-256 " + Hex(Sha256(a))));
}

// Update sets that must not be trusted, with real signatures checked by
// CNG: each ends with -18 and its log line, nothing installed or written
// back, no working folder left.
TEST(UpdaterNetwork, UntrustedSetsInstallNothing) {
    const std::string a = "AAAA";
    const std::string script = "copy a.dll %AppDir%\\a.dll\r\n";
    const Files files{{"a.dll", a}, {"update.script", script}};
    const std::string good = Signed(ManifestBody("1.2.4.0", files));
    struct Case {
        std::string name;
        std::string manifest; // empty: none in the answer
        std::string served;   // a.dll as the server sends it
        std::string installed = "1.2.3.4";
        bool keyless = false;
        std::string logLine;
    };
    const auto altered = [&] {
        std::string text = good;
        text.replace(text.find("QLX"), 3, "QLY");
        return text;
    };
    const Case cases[] = {
        {"no manifest", "", a, "1.2.3.4", false,
         "Update refused: update.manifest: the server's answer names none."},
        {"without a signature", ManifestBody("1.2.4.0", files), a, "1.2.3.4", false,
         "Update refused: update.manifest: no signature."},
        {"signed by another key", Signed(ManifestBody("1.2.4.0", files), false), a, "1.2.3.4",
         false,
         "Update refused: update.manifest: the signature does not verify with any key of "
         "update.key."},
        {"altered after signing", altered(), a, "1.2.3.4", false,
         "Update refused: update.manifest: the signature does not verify with any key of "
         "update.key."},
        {"a file altered with its size kept", good, "AAAB", "1.2.3.4", false,
         "Update refused: a.dll: its SHA-256 " + Hex(Sha256("AAAB")) +
             " is not the one of update.manifest."},
        {"a body longer than declared", good, "AAAAA", "1.2.3.4", false,
         "Update refused: a.dll: the server sends more than the declared 4 bytes."},
        {"a body shorter than declared", good, "AAA", "1.2.3.4", false,
         "Update refused: a.dll: the server sent 3 of the declared 4 bytes."},
        {"a file not in the manifest", Signed(ManifestBody("1.2.4.0", {{"update.script", script}})),
         a, "1.2.3.4", false, "Update refused: a.dll: it is not listed in update.manifest."},
        {"an older version", good, a, "1.2.5.0", false,
         "Update refused: update.manifest: its version 1.2.4.0 is not newer than the installed "
         "1.2.5.0."},
        {"a manifest version other than the answer's", Signed(ManifestBody("1.2.9.0", files)), a,
         "1.2.3.4", false,
         "Update refused: update.manifest: its version 1.2.9.0 is not the version 1.2.4.0 of "
         "the server's answer."},
        {"no update.key", good, a, "1.2.3.4", true,
         "Fatal error: no update signing key (update.key); downloads are not trusted."},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = "hostile" + std::to_string(n++);
        Serve(folder + "/a.dll", c.served);
        Serve(folder + "/update.script", script);
        // The "File" line declares the real set's size, and the CRC of what
        // is sent: a CRC is no protection.
        Serve(folder + "/u",
              std::string("ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n") +
                  "File: a.dll, 4, " + std::to_string(Crc32(c.served)) + ", " +
                  Address(folder + "/a.dll") + "\r\n" +
                  FileLine("update.script", script, folder + "/update.script") +
                  (c.manifest.empty() ? "" : ServeManifest(folder, c.manifest)));
        UpdaterSandbox box;
        if (c.keyless) {
            ::DeleteFileA((box.Dir() + "update.key").c_str());
        }
        box.Write("version.dat", c.installed);
        ::CreateDirectoryA((box.Dir() + "app").c_str(), nullptr);
        EXPECT_EQ(
            box.Run("update -ProductAbbreviation=QLX -ProductVersion=@version.dat -AppDir=\"" +
                    box.Dir() + "app\" -Server=" + Address(folder + "/u")),
            -18);
        EXPECT_TRUE(Has(box.LogMessages(), c.logLine)) << c.logLine;
        EXPECT_FALSE(box.Exists("app\\a.dll"));
        EXPECT_EQ(box.Read("version.dat"), c.installed);
        EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
        EXPECT_EQ(Asked(folder + "/u?"), c.keyless ? 0 : 1);
    }
}

TEST(UpdaterNetwork, RefusedDownloadLeavesNothingBehind) {
    UpdaterSandbox box;
    Serve("refused/a.dll", "AAAA");
    Serve("refused/u",
          "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n" +
              FileLine("a.dll", "AAAA", "refused/a.dll") +
              FileLine("gone.dll", "G", "refused/gone.dll") +
              ServeManifest("refused", Signed(ManifestBody(
                                           "1.2.4.0", {{"a.dll", "AAAA"}, {"gone.dll", "G"}}))));
    EXPECT_EQ(box.Run("update -ProductAbbreviation=QLX -ProductVersion=1.2.3.4 -Server=" +
                      Address("refused/u")),
              -16);
    EXPECT_TRUE(Has(box.LogMessages(), "ERROR: file download HTTP status code 404."));
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
}

TEST(UpdaterNetwork, ASlowDownloadSitsInAPrivateFolderAndTheTerminationEventCancelsIt) {
    UpdaterSandbox box;
    const std::string big(400000, 'z');
    Serve("slowly/big.dat", big);
    Serve("slowly/u",
          "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n" +
              FileLine("big.dat", big, "slow/slowly/big.dat") +
              ServeManifest("slowly", Signed(ManifestBody("1.2.4.0", {{"big.dat", big}}))));
    ChildProcess updater;
    ASSERT_TRUE(
        box.Start(updater, "update -ProductAbbreviation=QLX -ProductVersion=1.2.3.4 -Server=" +
                               Address("slowly/u")));
    ASSERT_TRUE(WaitUntil([] { return Asked("slow/slowly/big.dat") == 1; }, 20000));
    ::Sleep(300);
    // The download's folder lets in the user, SYSTEM and the Administrators
    // only, with full access. (Wine 8 keeps no access list of its own for a
    // folder: it answers one made from the Unix mode, which drops the
    // Administrators entry and the protection. Nobody else is ever let in.)
    const std::vector<std::string> dirs = WorkingDirectories(box);
    ASSERT_EQ(dirs.size(), 1u);
    const std::string all = ":" + std::to_string(FILE_ALL_ACCESS);
    const std::vector<std::string> allowed{"protected", "S-1-5-18" + all, "S-1-5-32-544" + all,
                                           CurrentUserSid() + all};
    const std::vector<std::string> acl = AccessList(dirs[0]);
    EXPECT_TRUE(Has(acl, CurrentUserSid() + all));
    for (const std::string& entry : acl) {
        EXPECT_TRUE(Has(allowed, entry)) << entry;
    }
    EXPECT_EQ(CancelAndWait(updater), 26);
    EXPECT_TRUE(Has(box.LogMessages(), "Update canceled by user while downloading files."));
    EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
}

// The updater's windows as the user meets them: found among the top-level
// windows of its process, read and clicked from outside.
HWND WindowWith(DWORD process, int control, bool visibleOnly = true) {
    struct Search {
        DWORD process;
        int control;
        bool visibleOnly;
        HWND found;
    } search{process, control, visibleOnly, nullptr};
    ::EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(window, &owner);
            if (owner == s->process && ::GetDlgItem(window, s->control) &&
                (!s->visibleOnly || ::IsWindowVisible(window))) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND AwaitWindow(const ChildProcess& updater, int control, DWORD timeoutMs = 15000) {
    HWND window = nullptr;
    WaitUntil([&] { return (window = WindowWith(updater.Id(), control)) != nullptr; }, timeoutMs);
    return window;
}

std::string Text(HWND window, int control = 0) {
    char text[512] = {};
    ::GetWindowTextA(control ? ::GetDlgItem(window, control) : window, text, sizeof text);
    return text;
}

void Click(HWND window, int control) {
    ::SendMessageA(::GetDlgItem(window, control), BM_CLICK, 0, 0);
}

int32_t ExitCode(ChildProcess& updater) {
    DWORD code = 1000;
    EXPECT_TRUE(updater.WaitForExit(20000, &code));
    return static_cast<int32_t>(code);
}

constexpr int kFinalText = 1039;
constexpr int kMessageText = 501;
constexpr int kProgressBar = 506;
constexpr int kConnectingText = 1030;
const char* const kFailureText = "Due to some unknown system error, updating your software was "
                                 "not successfully completed. Please try again later.";

TEST(UpdaterWindows, FinalMessageByReturnCodeShownOnlyInNormalAppearance) {
    struct Case {
        std::string answer;
        std::string appearance;
        std::string message; // empty: none may appear
        int32_t code;
    } const cases[] = {
        {"ReturnCode: 12\r\n", "Normal",
         "Due to the incorrect format of your software version, update procedure was "
         "unsuccessful. Please contact our Customer Support Center. ",
         12},
        {"ReturnCode: 5\r\n", "normal", kFailureText, 5},
        {"ReturnCode: 30\r\n", "Normal", kFailureText, 30},
        {"ReturnCode: 23\r\n", "Normal",
         "Your software\x92s update process was successful. For the software to encompass all "
         "the changes, you are required to restart your computer now.",
         23},
        {"ReturnCode: 21\r\n", "Normal", "", 21},
        {"ReturnCode: 12\r\n", "Invisible", "", 12},
        {"ReturnCode: 5\r\n", "Stealth", "", 5},
    };
    for (const Case& c : cases) {
        UpdaterSandbox box;
        Serve("final/u", c.answer);
        ChildProcess updater;
        ASSERT_TRUE(box.Start(updater, "update -ProductName=QlxFinal -ProductVersion=1.2.3.4 "
                                       "-Appearance=" +
                                           c.appearance + " -Server=" + Address("final/u")));
        if (c.message.empty()) {
            DWORD code = 0;
            // Ended by itself: nothing waited for the user.
            ASSERT_TRUE(updater.WaitForExit(20000, &code)) << c.answer << c.appearance;
            EXPECT_EQ(static_cast<int32_t>(code), c.code);
            continue;
        }
        HWND final = AwaitWindow(updater, kFinalText);
        ASSERT_NE(final, nullptr) << c.answer;
        EXPECT_EQ(Text(final, kFinalText), c.message);
        EXPECT_EQ(Text(final), "Download session is under progress");
        EXPECT_TRUE(updater.Running()) << "the session ends only after the user's answer";
        Click(final, IDOK);
        EXPECT_EQ(ExitCode(updater), c.code);
    }
}

TEST(UpdaterWindows, ServerTextsShownOneAfterTheOther) {
    UpdaterSandbox box;
    Serve("texts/u", "ReturnCode: 21\r\nText: Welcome:  to the new version\r\n"
                     "Text: Notice: servers move\r\n");
    ChildProcess updater;
    ASSERT_TRUE(box.Start(updater, "update -Appearance=Normal -ProductVersion=1.2.3.4 -Server=" +
                                       Address("texts/u")));
    for (const auto& [title, message] :
         {std::pair{"Welcome", "to the new version"}, {"Notice", "servers move"}}) {
        HWND shown = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                shown = WindowWith(updater.Id(), kMessageText);
                return shown && Text(shown) == title;
            },
            15000))
            << title;
        EXPECT_EQ(Text(shown, kMessageText), message);
        Click(shown, IDOK);
    }
    EXPECT_EQ(ExitCode(updater), 21);
}

// A top-level window of the test that hears the updater's tray message.
struct TrayListener {
    static inline int heard = 0;
    static inline UINT message = 0;
    HWND window = nullptr;
    explicit TrayListener(const char* product) {
        message = ::RegisterWindowMessageA((std::string(product) + " Tray Message").c_str());
        WNDCLASSA wc{};
        wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == message && wp == 0 && lp == 1) {
                ++heard;
            }
            return ::DefWindowProcA(w, m, wp, lp);
        };
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "QlxTrayListener";
        ::RegisterClassA(&wc);
        window = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    }
    ~TrayListener() { ::DestroyWindow(window); }
    static void Pump() {
        MSG m;
        while (::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&m);
        }
    }
};

void ServeSlowUpdate(const std::string& folder) {
    const std::string big(400000, 'w');
    Serve(folder + "/big.dat", big);
    Serve(folder + "/u",
          "ReturnCode: 0\r\nProductVersion: 1.2.4.0\r\nExpire: 600\r\n" +
              FileLine("big.dat", big, "slow/" + folder + "/big.dat") +
              ServeManifest(folder, Signed(ManifestBody("1.2.4.0", {{"big.dat", big}}))));
}

TEST(UpdaterWindows, AppearanceDecidesTheWindowsAndCancelEndsTheDownload) {
    struct Case {
        std::string appearance;
        bool connectingShown, connectingExists, progressShown;
    } const cases[] = {
        {"Normal", true, true, true},
        {"Invisible", false, true, true},
        {"Stealth", false, false, false},
    };
    for (const Case& c : cases) {
        UpdaterSandbox box;
        const std::string folder = "look" + c.appearance;
        ServeSlowUpdate(folder);
        TrayListener listener("QlxLook");
        TrayListener::heard = 0;
        ChildProcess updater;
        ASSERT_TRUE(box.Start(
            updater, "update -ProductName=QlxLook -ProductAbbreviation=QLX -ProductVersion=1.2.3.4 "
                     "-Appearance=" +
                         c.appearance + " -Server=" + Address("delay/" + folder + "/u")));
        // The server holds its answer back: the updater is connecting.
        ASSERT_TRUE(WaitUntil([&] { return Asked("/delay/" + folder + "/u") == 1; }, 15000));
        ::Sleep(500);
        HWND connecting = WindowWith(updater.Id(), kConnectingText, false);
        EXPECT_EQ(connecting != nullptr, c.connectingExists) << c.appearance;
        EXPECT_EQ(connecting && ::IsWindowVisible(connecting), c.connectingShown) << c.appearance;
        if (connecting && c.connectingShown) {
            EXPECT_EQ(Text(connecting, kConnectingText), "Download session is under progress");
        }

        ASSERT_TRUE(WaitUntil([&] { return Asked("slow/" + folder + "/big.dat") == 1; }, 15000));
        HWND progress = c.progressShown ? AwaitWindow(updater, kProgressBar) : nullptr;
        if (!c.progressShown) {
            ::Sleep(500);
            EXPECT_EQ(WindowWith(updater.Id(), kProgressBar, false), nullptr);
            EXPECT_EQ(WindowWith(updater.Id(), kConnectingText), nullptr);
            EXPECT_EQ(CancelAndWait(updater), 26);
            continue;
        }
        ASSERT_NE(progress, nullptr) << c.appearance;
        EXPECT_EQ(Text(progress, 501), "Present file: big.dat");
        EXPECT_EQ(Text(progress, 502), "Click 'Cancel' to quit the update session.");
        EXPECT_FALSE(connecting && ::IsWindowVisible(connecting)) << "hidden once answered";
        Click(progress, IDCANCEL);
        EXPECT_EQ(ExitCode(updater), 26);
        EXPECT_TRUE(Has(box.LogMessages(), "Update canceled by user while downloading files."));
        EXPECT_EQ(WorkingDirectoriesLeft(box), 0);
        EXPECT_TRUE(WaitUntil(
            [] {
                TrayListener::Pump();
                return TrayListener::heard == 1;
            },
            5000))
            << c.appearance;
    }
}

TEST(UpdaterWindows, SecondStartChangesTheAppearance) {
    UpdaterSandbox box;
    ServeSlowUpdate("again");
    ChildProcess updater;
    ASSERT_TRUE(box.Start(updater, "update -ProductName=QlxAgain -ProductAbbreviation=QLX "
                                   "-ProductVersion=1.2.3.4 "
                                   "-Appearance=Normal -Server=" +
                                       Address("again/u")));
    HWND progress = AwaitWindow(updater, kProgressBar);
    ASSERT_NE(progress, nullptr);
    for (const auto& [appearance, shown] : {std::pair{"Stealth", false}, {"Invisible", true}}) {
        EXPECT_EQ(box.Run(std::string("update -ProductName=QlxAgain -Server=http://127.0.0.1:9/ "
                                      "-Appearance=") +
                          appearance),
                  -18);
        EXPECT_TRUE(
            WaitUntil([&] { return (::IsWindowVisible(progress) != FALSE) == shown; }, 10000))
            << appearance;
    }
    EXPECT_EQ(CancelAndWait(updater), 26);
}

// A list view's cell or selection in another process: the item lives in that
// process's memory.
struct RemoteItem {
    HANDLE process;
    char* remote;
    explicit RemoteItem(HANDLE p)
        : process(p), remote(static_cast<char*>(
                          ::VirtualAllocEx(p, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE))) {}
    ~RemoteItem() { ::VirtualFreeEx(process, remote, 0, MEM_RELEASE); }
    LRESULT Send(HWND list, UINT message, WPARAM row, LVITEMA item) {
        ::WriteProcessMemory(process, remote, &item, sizeof item, nullptr);
        return ::SendMessageA(list, message, row, reinterpret_cast<LPARAM>(remote));
    }
    std::string Text(HWND list, int row, int column) {
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = remote + sizeof(LVITEMA);
        item.cchTextMax = 256;
        Send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), item);
        char text[256] = {};
        ::ReadProcessMemory(process, item.pszText, text, sizeof text - 1, nullptr);
        return text;
    }
    void Select(HWND list, int row) {
        LVITEMA item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), item);
    }
};

TEST(UpdaterWindows, LanguageWindowListsPacksAndInstallsTheChosenOne) {
    UpdaterSandbox box;
    const std::string script = "copy de.lng %AppDir%\\de.lng rebootnone langinstall\r\n";
    Serve("lang/de.lng", "Hallo");
    Serve("lang/update.script", script);
    Serve("lang/u",
          "ReturnCode: 0\r\nProductVersion: 1.2.3.4\r\nExpire: 600\r\nLanguage: de, "
          "Deutsch\r\nLanguage: fr, Francais\r\n" +
              FileLine("de.lng", "Hallo", "lang/de.lng") +
              FileLine("update.script", script, "lang/update.script") +
              ServeManifest("lang", Signed(ManifestBody("1.2.3.4", {{"de.lng", "Hallo"},
                                                                    {"update.script", script}}))));
    box.Write("language.dat", "en\r\n");
    ::CreateDirectoryA((box.Dir() + "app").c_str(), nullptr);
    ChildProcess updater;
    ASSERT_TRUE(box.Start(
        updater,
        "configurelanguagepacks -ProductName=QlxLang -ProductAbbreviation=QLX -Appearance=Normal "
        "-ProductVersion=1.2.3.4 -AppDir=\"" +
            box.Dir() + "app\" -Server=" + Address("lang/u")));
    HWND window = AwaitWindow(updater, 502);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(Text(window), "QlxLang - Choose your language");
    EXPECT_EQ(Text(window, 500), "Currently used language: en");
    HWND list = ::GetDlgItem(window, 501);
    const std::vector<std::pair<std::string, std::string>> rows{
        {"Deutsch", "available for download on remote server"},
        {"Francais", "available for download on remote server"},
        {"en", "already installed on local computer"}};
    ASSERT_EQ(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0), static_cast<LRESULT>(rows.size()));
    RemoteItem remote(updater.Handle());
    for (size_t row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(remote.Text(list, static_cast<int>(row), 0), rows[row].first);
        EXPECT_EQ(remote.Text(list, static_cast<int>(row), 1), rows[row].second);
    }
    remote.Select(list, 0);
    Click(window, 502);
    HWND notice = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            notice = WindowWith(updater.Id(), IDOK);
            return notice && Text(notice) == "Language was changed";
        },
        20000));
    EXPECT_EQ(box.Read("app\\de.lng"), "Hallo");
    Click(notice, IDOK);
    EXPECT_EQ(ExitCode(updater), 21);
    EXPECT_EQ(box.Read("language.dat"), "de\r\nen\r\n");
    EXPECT_EQ(Asked("lang/u?"), 2);
    EXPECT_EQ(Asked("&lang=de"), 1);
    EXPECT_TRUE(
        Has(box.LogMessages(), "Verified file: de.lng, 5 bytes, SHA-256 " + Hex(Sha256("Hallo"))));
}

} // namespace
} // namespace qlx::updater::testing
