// `ServerExchange` and `DownloadSession` on their own, each over a small
// fake of its narrow platform: answers that arrive in uneven reads, fail,
// end early or run on, a disk that fills, a cancel and a clock that runs
// out, and the bookkeeping that keeps the rounds of one server finite.
#include <gtest/gtest.h>

#include <map>

#include "updater/core/crc32.h"
#include "updater/core/download_session.h"
#include "updater/core/return_codes.h"
#include "updater/core/server_exchange.h"
#include "updater/tests/fake_platform.h"

namespace qlx::updater::testing {
namespace {

// One read of an answer: these bytes (at most what is asked for, the rest
// on the next read), or a failure with `error`.
struct Step {
    std::string bytes;
    uint32_t error = 0;
};

struct ScriptedAnswer {
    uint32_t status = 200;
    std::vector<Step> steps;
};

// HTTP and the session clock, and nothing else.
class ScriptedNet final : public ExchangePlatform, public SessionClock {
public:
    std::map<std::string, ScriptedAnswer> answers;
    uint64_t clock = 1000;
    uint64_t msPerRead = 0;
    int terminateAtRead = -1; // the termination event is set from this read on
    int reads = 0;

    bool SplitsAddress(const std::string& address) override {
        return address.find("://") != std::string::npos;
    }
    std::unique_ptr<HttpRequest> OpenHttp(const std::string& address, HttpMode,
                                          uint32_t* error) override {
        const auto it = answers.find(address);
        if (it == answers.end()) {
            *error = 12029; // cannot connect
            return nullptr;
        }
        return std::make_unique<Request>(*this, it->second);
    }
    std::unique_ptr<HttpRequest> OpenAddress(const std::string& address, HttpMode mode,
                                             uint32_t* error) override {
        return OpenHttp(address, mode, error);
    }
    uint64_t Milliseconds() override { return clock; }
    void Sleep(uint32_t ms) override { clock += ms; }
    bool TerminationSignalled() override {
        return terminateAtRead >= 0 && reads >= terminateAtRead;
    }
    void PumpMessages() override {}

private:
    class Request final : public HttpRequest {
    public:
        Request(ScriptedNet& net, ScriptedAnswer answer) : net_(net), answer_(std::move(answer)) {}
        std::optional<uint32_t> Status() override { return answer_.status; }
        bool Read(char* buffer, uint32_t size, uint32_t* read, uint32_t* error) override {
            ++net_.reads;
            net_.clock += net_.msPerRead;
            *read = 0;
            if (step_ == answer_.steps.size()) {
                return true;
            }
            Step& step = answer_.steps[step_];
            if (step.error != 0) {
                *error = step.error;
                ++step_;
                return false;
            }
            *read = static_cast<uint32_t>(std::min<size_t>(size, step.bytes.size()));
            std::copy_n(step.bytes.data(), *read, buffer);
            step.bytes.erase(0, *read);
            if (step.bytes.empty()) {
                ++step_;
            }
            return true;
        }

    private:
        ScriptedNet& net_;
        ScriptedAnswer answer_;
        size_t step_ = 0;
    };
};

// `text` cut into reads of these sizes, the rest in one last read.
std::vector<Step> Cut(const std::string& text, const std::vector<size_t>& sizes) {
    std::vector<Step> steps;
    size_t at = 0;
    for (size_t size : sizes) {
        steps.push_back({text.substr(at, size)});
        at += size;
    }
    if (at < text.size()) {
        steps.push_back({text.substr(at)});
    }
    return steps;
}

// "returns N" or "throws N".
template <typename Call> std::string Outcome(Call call) {
    try {
        return "returns " + std::to_string(call());
    } catch (const UpdaterFailure& failure) {
        return "throws " + std::to_string(failure.code);
    }
}

bool HasLineStarting(const RecordingLog& log, const std::string& start) {
    return std::any_of(log.lines.begin(), log.lines.end(),
                       [&](const std::string& line) { return line.starts_with(start); });
}

struct Rig {
    FakePlatform files; // the downloads' side of the platform
    ScriptedNet net;
    RecordingLog log;
    RecordingWindows windows;
    OptionStore options;
    SessionGuard guard{net, log};
    int diagnosed = 0;
    ServerExchange exchange{net, guard, log, windows, options, [this] { ++diagnosed; }};
    DownloadSession downloads{files, exchange, guard, log, windows};

    Rig() {
        options.Set("UseSSL", "no", "no");
        files.dirs.insert("C:\\w");
        guard.Start(60'000);
    }
};

// More than the ring of hand-over chunks holds, and no whole number of
// blocks.
std::string Content() {
    std::string text(600'011, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char>('a' + (i * 7 + i / 3000) % 26);
    }
    return text;
}

TEST(DownloadSessionTest, BodyIsReadToTheDeclaredSizeAndVerified) {
    const std::string content = Content();
    std::string altered = content;
    altered[100'000] ^= 1;
    const std::string path = "C:\\w\\a.dat";
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::function<void(Rig&)> setUp;
        std::string outcome;
        std::string logLine;   // a line that starts so
        bool keptUntilCleanUp; // the file is there (and whole) after the call
        uint32_t crc;          // declared with the "File" line
    };
    const uint32_t good = Crc32(content);
    std::vector<Step> flaky = Cut(content, {7000, 9000});
    flaky.insert(flaky.begin() + 1, 3, Step{"", 12002});
    const std::vector<Case> cases{
        {"whole, in uneven reads",
         Cut(content, {1, 2047, 5000, 61'000, 3, 65'536}),
         {},
         "returns 0",
         "Verified file: a.dat, 600011 bytes, SHA-256 ",
         true,
         good},
        {"slow reads", Cut(content, {}), [](Rig& rig) { rig.net.msPerRead = 7; }, "returns 0",
         "Downloaded file: " + path, true, good},
        {"transient read failures", flaky, {}, "returns 0", "Downloaded file: " + path, true, good},
        {"one byte more than declared",
         Cut(content + "x", {599'990}),
         {},
         "throws -18",
         "Update refused: a.dat: the server sends more than the declared 600011 bytes.",
         false,
         good},
        {"one byte less than declared",
         Cut(content.substr(1), {70'000}),
         {},
         "throws -18",
         "Update refused: a.dat: the server sent 600010 of the declared 600011 bytes.",
         false,
         good},
        {"wrong CRC",
         Cut(content, {}),
         {},
         "throws -18",
         "Update refused: a.dat: its CRC-32 is ",
         false,
         good ^ 1},
        {"altered, size and CRC kept",
         Cut(altered, {}),
         {},
         "throws -18",
         "Update refused: a.dat: its SHA-256 ",
         false,
         Crc32(altered)},
        {"disk fills", Cut(content, {}), [](Rig& rig) { rig.files.diskRoom = 300'000; },
         "returns -14", "Fatal error: can't write file: " + path + ", error code: 112", false,
         good},
        {"cancelled", Cut(content, {2048, 2048, 2048}),
         [](Rig& rig) { rig.net.terminateAtRead = 20; }, "returns 26",
         "Update canceled by user while downloading files.", false, good},
        {"session runs out of time", Cut(content, {}), [](Rig& rig) { rig.net.msPerRead = 2000; },
         "throws -18", "Fatal error: the session ran out of time (SessionTimeout 60 s). Exiting.",
         false, good},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.net.answers["http://s/a.dat"] = ScriptedAnswer{200, c.steps};
        if (c.setUp) {
            c.setUp(rig);
        }
        const Sha256Digest sha = FakeVerifier::Digest(content);
        const DownloadFile file{"a.dat", content.size(), c.crc, "http://s/a.dat"};
        const uint64_t before = rig.net.clock;
        EXPECT_EQ(Outcome([&] { return rig.downloads.Download(file, path, &sha); }), c.outcome);
        EXPECT_TRUE(HasLineStarting(rig.log, c.logLine)) << c.logLine;
        const auto kept = rig.files.files.find(path);
        EXPECT_EQ(kept != rig.files.files.end() && kept->second == content, c.keptUntilCleanUp);
        if (c.outcome == "returns 0") { // the time taken, for the debugger
            const std::string took =
                "Download time of a.dat: " + std::to_string(rig.net.clock - before) +
                " ms for 600011 bytes\r\n";
            EXPECT_EQ(rig.files.debug.back(), took);
        }
        rig.downloads.CleanUp();
        EXPECT_EQ(rig.files.files.count(path), 0u);
    }
}

TEST(DownloadSessionTest, AnswersThatAreNoBody) {
    struct Case {
        const char* name;
        std::optional<ScriptedAnswer> answer;
        std::string outcome;
        std::string logLine;
    };
    std::vector<Step> failing(kReadFailuresLimit, Step{"", 12002});
    const std::vector<Case> cases{
        {"no server", std::nullopt, "returns -13",
         "Unable to open url http://s/a.dat while downloading file C:\\w\\a.dat"},
        {"not found", ScriptedAnswer{404, {}}, "throws -16",
         "ERROR: file download HTTP status code 404."},
        {"reads keep failing", ScriptedAnswer{200, failing}, "throws -11",
         "ERROR: InternetReadFile keeps failing during file download, error code: 12002."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.answer) {
            rig.net.answers["http://s/a.dat"] = *c.answer;
        }
        const DownloadFile file{"a.dat", 4, Crc32("abcd"), "http://s/a.dat"};
        EXPECT_EQ(Outcome([&] { return rig.downloads.Download(file, "C:\\w\\a.dat", nullptr); }),
                  c.outcome);
        EXPECT_TRUE(rig.log.Has(c.logLine)) << c.logLine;
        rig.downloads.CleanUp();
        EXPECT_EQ(rig.files.files.count("C:\\w\\a.dat"), 0u);
    }
}

TEST(ServerExchangeTest, AnswerIsReadWholeOrTheFailureReported) {
    struct Case {
        const char* name;
        std::optional<ScriptedAnswer> answer;
        int terminateAtRead;
        std::string outcome; // "returns N" with N the answer's ReturnCode
        int diagnosed;
    };
    const std::string body = "ReturnCode: 25\r\nProductVersion: 1.2.3.5\r\n";
    const std::vector<Case> cases{
        {"in small reads", ScriptedAnswer{200, Cut(body, {3, 1, 9})}, -1, "returns 25", 0},
        {"after transient failures", ScriptedAnswer{200, {{"", 12002}, {"", 12002}, {body}}}, -1,
         "returns 25", 0},
        {"invalid handle", ScriptedAnswer{200, {{"", 6}, {body}}}, -1, "throws -11", 1},
        {"status 500", ScriptedAnswer{500, {{body}}}, -1, "throws -11", 1},
        {"no server", std::nullopt, -1, "throws -11", 1},
        {"cancelled", ScriptedAnswer{200, Cut(body, {3})}, 1, "throws 26", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        if (c.answer) {
            rig.net.answers["http://s/u"] = *c.answer;
        }
        rig.net.terminateAtRead = c.terminateAtRead;
        EXPECT_EQ(Outcome([&] {
                      return DecimalValue(
                          *FirstValue(rig.exchange.Send("http://s/u"), "ReturnCode"));
                  }),
                  c.outcome);
        EXPECT_EQ(rig.diagnosed, c.diagnosed);
        EXPECT_EQ(rig.guard.Cancelled(), c.terminateAtRead >= 0);
        // The connecting state is on screen for at least two seconds.
        EXPECT_GE(rig.net.clock, 3000u);
        EXPECT_EQ(rig.windows.calls.back(), "hide connecting");
    }
}

TEST(ServerExchangeTest, RoundsComeToAnEnd) {
    // Files still missing at the start of each round, and whether the round
    // before had a download refused for now; what the last round gives.
    struct Case {
        std::vector<size_t> missing;
        bool refusedBefore;
        std::optional<int32_t> last;
    };
    const std::vector<Case> cases{
        {{3, 2, 1, 0}, false, std::nullopt}, {{3, 3}, false, kGeneralFailure},
        {{3, 4}, false, kGeneralFailure},    {{3, 3}, true, kDownloadStatus},
        {{3, 0}, false, std::nullopt},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.exchange.BeginServer();
        std::optional<int32_t> last;
        for (size_t i = 0; i < c.missing.size(); ++i) {
            if (i + 1 == c.missing.size() && c.refusedBefore) {
                rig.exchange.Refused();
            }
            last = rig.exchange.CheckProgress(c.missing[i], i == 0);
        }
        EXPECT_EQ(last, c.last) << ::testing::PrintToString(c.missing);
    }
    Rig rig;
    rig.exchange.BeginServer();
    int rounds = 1;
    while (rig.exchange.NextRound()) {
        ++rounds;
    }
    EXPECT_EQ(rounds, kMaxUpdateRounds);
    EXPECT_EQ(rig.exchange.Round(), kMaxUpdateRounds);
    rig.exchange.BeginServer();
    EXPECT_EQ(rig.exchange.Round(), 1);
}

} // namespace
} // namespace qlx::updater::testing
