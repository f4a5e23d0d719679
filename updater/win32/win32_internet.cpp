// The update server exchange over WinINet, and the files and folders of the
// downloads.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "updater/core/crc32.h"
#include "updater/core/download_plan.h"
#include "updater/win32/file_log.h"
#include "updater/win32/win32_platform.h"

#include <sddl.h>

namespace qlx::updater {

namespace {

// Always from the server, through any proxy, and never into the user's
// Internet cache: an update set is used once, and writing a large download
// into the cache as it arrives costs a second write per block; plus TLS. No
// flag that lets a certificate error pass is ever set: the certificate must
// be valid, for this host and date, and issued by an authority the system
// trusts.
constexpr DWORD kPlainFlags =
    INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_CACHE_WRITE;
constexpr DWORD kSecureFlags = kPlainFlags | INTERNET_FLAG_SECURE;

class WinInetRequest final : public HttpRequest {
public:
    WinInetRequest(UniqueInternet connection, UniqueInternet request)
        : connection_(std::move(connection)), request_(std::move(request)) {}

    std::optional<uint32_t> Status() override {
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!::HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                              &status, &size, nullptr)) {
            return std::nullopt;
        }
        return status;
    }

    bool Read(char* buffer, uint32_t size, uint32_t* read, uint32_t* error) override {
        // Asking what is there lets WinINet fill its own buffer with one
        // receive, from which the next small reads are served; without it,
        // Wine's WinINet receives from the socket for every read.
        if (available_ == 0) {
            DWORD available = 0;
            if (::InternetQueryDataAvailable(request_.get(), &available, 0, 0)) {
                available_ = available;
            }
        }
        DWORD got = 0;
        if (!::InternetReadFile(request_.get(), buffer, size, &got)) {
            *error = ::GetLastError();
            available_ = 0;
            return false;
        }
        available_ -= std::min<DWORD>(available_, got);
        *read = got;
        return true;
    }

private:
    // The request closes before its connection.
    UniqueInternet connection_;
    UniqueInternet request_;
    DWORD available_ = 0;
};

class Win32OutputFile final : public OutputFile {
public:
    explicit Win32OutputFile(UniqueHandle file) : file_(std::move(file)) {}
    uint32_t Write(std::string_view bytes) override {
        DWORD written = 0;
        if (!::WriteFile(file_.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr)) {
            return ::GetLastError();
        }
        return written == bytes.size() ? 0 : ERROR_HANDLE_DISK_FULL;
    }

private:
    UniqueHandle file_;
};

struct CrackedAddress {
    std::string host;
    std::string path; // with the query
    INTERNET_PORT port = 0;
    bool explicitPort = false;
};

std::optional<CrackedAddress> Crack(const std::string& address) {
    std::array<char, INTERNET_MAX_HOST_NAME_LENGTH> host{};
    std::string path(address.size() + 1, '\0');
    std::string extra(address.size() + 1, '\0');
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!::InternetCrackUrlA(address.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0) {
        return std::nullopt;
    }
    CrackedAddress cracked;
    cracked.host.assign(host.data(), parts.dwHostNameLength);
    cracked.path.assign(path.data(), parts.dwUrlPathLength);
    cracked.path.append(extra.data(), parts.dwExtraInfoLength);
    cracked.port = parts.nPort;
    // Read from the authority itself: "user:pw@host" names no port, and
    // "[::1]:8080" does.
    const std::optional<uint16_t> port = ExplicitPort(address);
    if (port == uint16_t{0}) {
        return std::nullopt;
    }
    cracked.explicitPort = port.has_value();
    if (port) {
        cracked.port = *port;
    }
    return cracked;
}

} // namespace

bool Win32Platform::SplitsAddress(const std::string& address) {
    return Crack(address).has_value();
}

std::unique_ptr<HttpRequest> Win32Platform::OpenHttp(const std::string& address, HttpMode mode,
                                                     uint32_t* error) {
    *error = 0;
    const auto cracked = Crack(address);
    if (!cracked || !internet_) {
        return nullptr;
    }
    const bool secure = mode == HttpMode::Secure;
    // A port written in the address is the server's; otherwise the mode's own.
    const INTERNET_PORT port = cracked->explicitPort ? cracked->port
                               : secure              ? INTERNET_DEFAULT_HTTPS_PORT
                                                     : INTERNET_DEFAULT_HTTP_PORT;
    UniqueInternet connection(::InternetConnectA(internet_.get(), cracked->host.c_str(), port,
                                                 nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        *error = ::GetLastError();
        return nullptr;
    }
    UniqueInternet request(::HttpOpenRequestA(connection.get(), "GET", cracked->path.c_str(),
                                              "HTTP/1.0", nullptr, nullptr,
                                              secure ? kSecureFlags : kPlainFlags, 0));
    if (!request) {
        *error = ::GetLastError();
        return nullptr;
    }
    if (!::HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
        // A certificate error (12037 date, 12038 name, 12045 or 12057
        // authority) ends the request like any other failure.
        *error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<WinInetRequest>(std::move(connection), std::move(request));
}

std::unique_ptr<HttpRequest> Win32Platform::OpenAddress(const std::string& address, HttpMode mode,
                                                        uint32_t* error) {
    *error = 0;
    if (!internet_) {
        return nullptr;
    }
    UniqueInternet request(::InternetOpenUrlA(internet_.get(), address.c_str(), nullptr, 0,
                                              mode == HttpMode::Secure ? kSecureFlags : kPlainFlags,
                                              0));
    if (!request) {
        *error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<WinInetRequest>(UniqueInternet(), std::move(request));
}

void Win32Platform::PumpMessages() {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

namespace {

// "S-1-5-21-...": the user this process runs as.
std::string CurrentUserSid() {
    UniqueHandle token;
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) {
        return {};
    }
    token.reset(raw);
    DWORD size = 0;
    ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    char* text = nullptr;
    if (size == 0 || !::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return {};
    }
    std::string sid = text;
    ::LocalFree(text);
    return sid;
}

} // namespace

uint32_t Win32Platform::CreateDirectory(const std::string& path) {
    // A protected list that the folder's files inherit: full access for the
    // user, SYSTEM and the Administrators, nobody else.
    const std::string user = CurrentUserSid();
    if (user.empty()) {
        return ::GetLastError() != 0 ? ::GetLastError()
                                     : static_cast<uint32_t>(ERROR_ACCESS_DENIED);
    }
    const std::string sddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + user + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                &descriptor, nullptr)) {
        return ::GetLastError();
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const uint32_t error = ::CreateDirectoryA(path.c_str(), &attributes) ? 0 : ::GetLastError();
    ::LocalFree(descriptor);
    return error;
}

uint32_t Win32Platform::RemoveDirectory(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) ? 0 : ::GetLastError();
}

std::optional<uint64_t> Win32Platform::FreeBytes(const std::string& path, uint32_t* error) {
    ULARGE_INTEGER available{};
    if (!::GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) {
        *error = ::GetLastError();
        return std::nullopt;
    }
    return available.QuadPart;
}

std::optional<std::string> Win32Platform::FullPath(const std::string& path) {
    std::string full(MAX_PATH, '\0');
    DWORD n =
        ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n);
        n = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) {
        return std::nullopt;
    }
    full.resize(n);
    return full;
}

std::optional<std::vector<std::string>> Win32Platform::FixedDrives(uint32_t* error) {
    char buffer[512];
    const DWORD length = ::GetLogicalDriveStringsA(sizeof buffer, buffer);
    if (length == 0 || length > sizeof buffer) {
        *error = ::GetLastError();
        return std::nullopt;
    }
    std::vector<std::string> roots;
    for (const char* root = buffer; *root != '\0'; root += std::strlen(root) + 1) {
        if (::GetDriveTypeA(root) == DRIVE_FIXED) {
            roots.emplace_back(root);
        }
    }
    return roots;
}

std::unique_ptr<OutputFile> Win32Platform::CreateOutputFile(const std::string& path,
                                                            uint32_t* error) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        *error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<Win32OutputFile>(std::move(file));
}

namespace {

// Every block of a whole file, in the look-up CRC's block size.
template <typename Take> bool ReadBlocks(const std::string& path, Take take) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    std::vector<char> block(65536);
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &read,
                        nullptr)) {
            return false;
        }
        if (read == 0) {
            return true;
        }
        take(std::string_view(block.data(), read));
    }
}

} // namespace

std::optional<uint32_t> Win32Platform::FileCrc(const std::string& path) {
    uint32_t crc = 0;
    if (!ReadBlocks(
            path, [&](std::string_view bytes) { crc = Crc32(crc, bytes.data(), bytes.size()); })) {
        return std::nullopt;
    }
    return crc;
}

std::optional<Sha256Digest> Win32Platform::FileSha256(const std::string& path) {
    auto hash = verifier_.NewSha256();
    if (!hash || !ReadBlocks(path, [&](std::string_view bytes) { hash->Add(bytes); })) {
        return std::nullopt;
    }
    return hash->Finish();
}

std::unique_ptr<LogSink> Win32Platform::OpenReport(const std::string& path) {
    return std::make_unique<FileLog>(path);
}

} // namespace qlx::updater
