#include "updater/tests/fake_platform.h"

#include <algorithm>

#include "updater/core/crc32.h"

namespace qlx::updater::testing {

namespace {

// Waits that fail take their whole time on the clock.
class FakeProcess final : public Waitable {
public:
    FakeProcess(int waits, uint64_t& clock) : waits_(waits), clock_(clock) {}
    bool Wait(uint32_t ms) override {
        if (waits_-- <= 0) {
            return true;
        }
        clock_ += ms;
        return false;
    }

private:
    int waits_;
    uint64_t& clock_;
};

class FakeNamedEvent final : public NamedEvent {
public:
    FakeNamedEvent(FakeEvent& event, uint64_t& clock) : event_(event), clock_(clock) {}
    bool Wait(uint32_t ms) override {
        if (event_.waitsBeforeSignalled-- <= 0) {
            return true;
        }
        clock_ += ms;
        return false;
    }
    uint32_t Set(bool reset) override {
        event_.sets.push_back(reset);
        return event_.setError;
    }

private:
    FakeEvent& event_;
    uint64_t& clock_;
};

class FakeRequest final : public HttpRequest {
public:
    FakeRequest(const FakeServer& server, FakePlatform& platform)
        : server_(server), platform_(platform) {}
    std::optional<uint32_t> Status() override {
        return server_.statusUnknown ? std::nullopt : std::optional<uint32_t>(server_.status);
    }
    bool Read(char* buffer, uint32_t size, uint32_t* read, uint32_t* error) override {
        platform_.clock += platform_.msPerRead;
        if (server_.readError) {
            *error = *server_.readError;
            return false;
        }
        *read = static_cast<uint32_t>(std::min<size_t>(size, server_.body.size() - offset_));
        std::copy_n(server_.body.data() + offset_, *read, buffer);
        offset_ += *read;
        return true;
    }

private:
    FakeServer server_;
    FakePlatform& platform_;
    size_t offset_ = 0;
};

class FakeFile final : public OutputFile {
public:
    FakeFile(std::string& content, uint64_t& room) : content_(content), room_(room) {}
    uint32_t Write(std::string_view bytes) override {
        if (bytes.size() > room_) {
            return 112; // the disk is full
        }
        room_ -= bytes.size();
        content_.append(bytes);
        return 0;
    }

private:
    std::string& content_;
    uint64_t& room_;
};

class FakeReport final : public LogSink {
public:
    explicit FakeReport(std::vector<std::string>& lines) : lines_(lines) {}
    void Write(std::string_view message) override { lines_.emplace_back(message); }

private:
    std::vector<std::string>& lines_;
};

std::string WithoutQuery(const std::string& address) {
    return address.substr(0, address.find('?'));
}

} // namespace

std::optional<uint32_t> FakeNetwork::Resolve(const std::string& host) {
    auto it = names.find(host);
    return it == names.end() ? std::nullopt : std::optional<uint32_t>(it->second);
}

std::optional<std::vector<TraceHop>> FakeNetwork::Trace(uint32_t address, uint32_t) {
    if (traceTimesOut) {
        return std::nullopt;
    }
    return std::vector<TraceHop>{{address, 1}};
}

void FakeNetwork::Ping(const std::vector<std::pair<std::string, uint32_t>>& targets,
                       LogSink& report) {
    for (const auto& [text, address] : targets) {
        pinged.push_back(text);
        report.Write("ping " + text);
    }
}

bool FakePlatform::SplitsAddress(const std::string& address) {
    return address.find("://") != std::string::npos;
}

std::unique_ptr<HttpRequest> FakePlatform::Open(const std::string& address, const char* how,
                                                bool reaches) {
    requests.push_back(std::string(how) + " " + address);
    auto it = servers.find(WithoutQuery(address));
    if (it == servers.end() || !it->second.opens || !reaches) {
        return nullptr;
    }
    return std::make_unique<FakeRequest>(it->second, *this);
}

std::unique_ptr<HttpRequest> FakePlatform::OpenHttp(const std::string& address, HttpMode mode,
                                                    uint32_t* error) {
    const auto it = servers.find(WithoutQuery(address));
    const bool reaches =
        it != servers.end() && (mode == HttpMode::Secure ? it->second.secure : it->second.plain);
    auto request = Open(address, mode == HttpMode::Secure ? "secure" : "plain", reaches);
    *error = request ? 0 : (mode == HttpMode::Secure ? 12057 : 12029);
    return request;
}

std::unique_ptr<HttpRequest> FakePlatform::OpenAddress(const std::string& address, HttpMode mode,
                                                       uint32_t* error) {
    *error = 12029;
    return Open(address, mode == HttpMode::Secure ? "direct secure" : "direct", false);
}

uint32_t FakePlatform::CreateDirectory(const std::string& path) {
    if (!freeBytes.count(path.substr(0, 3))) {
        return 3;
    }
    return dirs.insert(path).second ? 0 : 183;
}

uint32_t FakePlatform::RemoveDirectory(const std::string& path) {
    removedDirs.push_back(path);
    return dirs.erase(path) ? 0 : 2;
}

std::optional<uint64_t> FakePlatform::FreeBytes(const std::string& path, uint32_t* error) {
    auto it = freeBytes.find(path.substr(0, 3));
    if (it == freeBytes.end()) {
        *error = 3;
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::vector<std::string>> FakePlatform::FixedDrives(uint32_t* error) {
    *error = 5;
    return drives;
}

std::unique_ptr<OutputFile> FakePlatform::CreateOutputFile(const std::string& path,
                                                           uint32_t* error) {
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos || !dirs.count(path.substr(0, slash))) {
        *error = 3;
        return nullptr;
    }
    files[path].clear();
    return std::make_unique<FakeFile>(files[path], diskRoom);
}

std::optional<uint32_t> FakePlatform::FileCrc(const std::string& path) {
    auto it = files.find(path);
    return it == files.end() ? std::nullopt : std::optional<uint32_t>(Crc32(it->second));
}

std::optional<Sha256Digest> FakePlatform::FileSha256(const std::string& path) {
    auto it = files.find(path);
    return it == files.end() ? std::nullopt
                             : std::optional<Sha256Digest>(FakeVerifier::Digest(it->second));
}

// FNV-1a, four times with different starts: no cryptography, but a digest
// that any change of the bytes changes.
Sha256Digest FakeVerifier::Digest(std::string_view bytes) {
    Sha256Digest digest{};
    for (size_t part = 0; part < 4; ++part) {
        uint64_t h = 0xcbf29ce484222325ULL ^ (part * 0x9E3779B97F4A7C15ULL);
        for (char c : bytes) {
            h = (h ^ static_cast<uint8_t>(c)) * 0x100000001b3ULL;
        }
        for (size_t i = 0; i < 8; ++i) {
            digest[part * 8 + i] = static_cast<uint8_t>(h >> (8 * i));
        }
    }
    return digest;
}

P256Signature FakeVerifier::Sign(const P256PublicKey& key, const Sha256Digest& digest) {
    P256Signature signature{};
    std::copy(digest.begin(), digest.end(), signature.begin());
    std::copy_n(key.begin() + 1, 32, signature.begin() + 32);
    return signature;
}

class FakeSha256 final : public Sha256Stream {
public:
    void Add(std::string_view bytes) override { bytes_.append(bytes); }
    Sha256Digest Finish() override { return FakeVerifier::Digest(bytes_); }

private:
    std::string bytes_;
};

std::unique_ptr<Sha256Stream> FakeVerifier::NewSha256() {
    return std::make_unique<FakeSha256>();
}

bool FakeVerifier::Verify(const P256PublicKey& key, const Sha256Digest& digest,
                          const P256Signature& signature) {
    ++verified;
    return signature == Sign(key, digest);
}

std::unique_ptr<LogSink> FakePlatform::OpenReport(const std::string&) {
    ++reports;
    report.clear();
    return std::make_unique<FakeReport>(report);
}

std::optional<std::string> FakePlatform::ReadReferencedFile(const std::string& path) {
    normalised.push_back(path);
    return ReadTextFile(path, nullptr);
}

std::optional<std::string> FakePlatform::ReadTextFile(const std::string& path, uint32_t* error) {
    auto it = files.find(path);
    if (it == files.end()) {
        if (error) {
            *error = 2;
        }
        return std::nullopt;
    }
    return it->second;
}

uint32_t FakePlatform::ReplaceTextFile(const std::string& path, std::string_view text) {
    if (readOnlyFiles.count(path)) {
        return 5;
    }
    files[path] = std::string(text);
    return 0;
}

uint32_t FakePlatform::DeleteFile(const std::string& path) {
    deleted.push_back(path);
    return files.erase(path) ? 0 : 2;
}

bool FakePlatform::TerminationSignalled() {
    ++terminationChecks;
    return terminationAfterChecks >= 0 && terminationChecks > terminationAfterChecks;
}

InstanceEvent FakePlatform::CreateInstanceEvent(const std::string& name) {
    return existingInstances.insert(name).second ? InstanceEvent::Created
                                                 : InstanceEvent::AlreadyExists;
}

InstallResult FakePlatform::InstallFile(const std::string& source, const std::string& target) {
    installed.push_back(source + ">" + target);
    auto it = installResults.find(target);
    InstallResult result = it == installResults.end() ? InstallResult{} : it->second;
    if (result.error == 0) {
        files[target] = files[source];
    }
    return result;
}

uint32_t FakePlatform::CopyFile(const std::string& source, const std::string& target) {
    const auto it = files.find(source);
    if (it == files.end()) {
        return 2;
    }
    copiedFrom[target] = source;
    files[target] = std::string(it->second);
    return 0;
}

uint32_t FakePlatform::MoveFile(const std::string& source, const std::string& target) {
    const auto it = files.find(source);
    if (it == files.end()) {
        return 2;
    }
    const auto result = installResults.find(target);
    if (lockedFiles.count(source) || lockedFiles.count(target) ||
        (result != installResults.end() && result->second.inUse)) {
        return 32;
    }
    if (result != installResults.end() && result->second.error != 0) {
        return result->second.error;
    }
    if (const auto copied = copiedFrom.find(source); copied != copiedFrom.end()) {
        installed.push_back(copied->second + ">" + target);
    }
    std::string content = std::move(it->second);
    files.erase(it);
    files[target] = std::move(content);
    return 0;
}

std::unique_ptr<Waitable> FakePlatform::StartProcess(const std::string& commandLine,
                                                     const std::string& directory,
                                                     uint32_t* error) {
    for (const std::string& program : failingPrograms) {
        if (commandLine.find(program) != std::string::npos) {
            *error = 2;
            return nullptr;
        }
    }
    started.push_back(commandLine + " in " + directory);
    return std::make_unique<FakeProcess>(processWaits, clock);
}

std::unique_ptr<NamedEvent> FakePlatform::OpenEvent(const std::string& name) {
    auto it = events.find(name);
    if (it == events.end() || it->second.triesBeforeCreated-- > 0) {
        return nullptr;
    }
    return std::make_unique<FakeNamedEvent>(it->second, clock);
}

bool RecordingLog::Has(std::string_view line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace qlx::updater::testing
