#include "updater/tests/fake_platform.h"

#include <algorithm>

namespace qlx::updater::testing {

namespace {

class FakeProcess final : public Waitable {
public:
    explicit FakeProcess(int waits) : waits_(waits) {}
    bool Wait(uint32_t) override { return waits_-- <= 0; }

private:
    int waits_;
};

class FakeNamedEvent final : public NamedEvent {
public:
    explicit FakeNamedEvent(FakeEvent& event) : event_(event) {}
    bool Wait(uint32_t) override { return event_.waitsBeforeSignalled-- <= 0; }
    uint32_t Set(bool reset) override {
        event_.sets.push_back(reset);
        return event_.setError;
    }

private:
    FakeEvent& event_;
};

} // namespace

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
    return std::make_unique<FakeProcess>(processWaits);
}

std::unique_ptr<NamedEvent> FakePlatform::OpenEvent(const std::string& name) {
    auto it = events.find(name);
    if (it == events.end() || it->second.triesBeforeCreated-- > 0) {
        return nullptr;
    }
    return std::make_unique<FakeNamedEvent>(it->second);
}

bool RecordingLog::Has(std::string_view line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

} // namespace qlx::updater::testing
