#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/core/json.h"
#include "bridge/core/judgement.h"
#include "bridge/core/message_frame.h"
#include "bridge/core/question.h"
#include "integrator/tests/fake_popup_side.h"

namespace qlx::bridge {
namespace {

using integrator::testing::FakeService;

std::string Prefix(uint32_t n) {
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                       static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
}

std::vector<Frame> ReadAll(FrameReader& reader) {
    std::vector<Frame> frames;
    Frame f;
    while (reader.Next(f)) {
        frames.push_back(f);
    }
    return frames;
}

// --- Frames -------------------------------------------------------------------------

TEST(FrameReader, FramesArriveWholeWhateverTheSlicing) {
    const std::string stream = EncodeFrame("{\"a\":1}") + EncodeFrame("[]") + EncodeFrame("");
    for (size_t slice : {size_t{1}, size_t{3}, size_t{5}, stream.size()}) {
        FrameReader reader;
        for (size_t i = 0; i < stream.size(); i += slice) {
            reader.Feed(std::string_view(stream).substr(i, slice));
        }
        const auto frames = ReadAll(reader);
        ASSERT_EQ(frames.size(), 3u) << "slice " << slice;
        EXPECT_EQ(frames[0].body, "{\"a\":1}");
        EXPECT_EQ(frames[1].body, "[]");
        EXPECT_EQ(frames[2].body, "");
        EXPECT_FALSE(reader.MidFrame());
    }
}

TEST(FrameReader, TheBoundIsOneMegabyteAndALongerFrameIsSkippedNotFatal) {
    struct Case {
        uint32_t length;
        Frame::Kind kind;
    } cases[] = {{kMaxMessageBytes, Frame::Kind::Message},
                 {kMaxMessageBytes + 1, Frame::Kind::TooLong}};
    for (const auto& c : cases) {
        FrameReader reader;
        reader.Feed(Prefix(c.length));
        reader.Feed(std::string(c.length, ' '));
        reader.Feed(EncodeFrame("{}"));
        const auto frames = ReadAll(reader);
        ASSERT_EQ(frames.size(), 2u) << c.length;
        EXPECT_EQ(frames[0].kind, c.kind);
        if (c.kind == Frame::Kind::TooLong) {
            EXPECT_EQ(frames[0].announced, c.length);
            EXPECT_TRUE(frames[0].body.empty());
        }
        EXPECT_EQ(frames[1].body, "{}");
    }
}

TEST(FrameReader, AHugeAnnouncedLengthIsReportedAtOnce) {
    FrameReader reader;
    reader.Feed(Prefix(0xFFFFFFFFu) + "abc");
    const auto frames = ReadAll(reader);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].kind, Frame::Kind::TooLong);
    EXPECT_TRUE(reader.MidFrame());
}

TEST(FrameReader, EncodesTheLengthLittleEndian) {
    EXPECT_EQ(EncodeFrame(std::string(258, 'x')).substr(0, 4), Prefix(258));
}

// --- JSON ---------------------------------------------------------------------------

TEST(Json, AcceptsWhatTheBrowserSends) {
    std::string error;
    const auto v = ParseJson(R"( {"s":"a\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00","n":-1.5e2,
                                   "t":true,"f":false,"z":null,"a":[1,[2]],"o":{}} )",
                             error);
    ASSERT_TRUE(v) << error;
    const JsonObject& o = *v->Object();
    EXPECT_EQ(*o.at("s").String(), "a\"\\/\b\f\n\r\t\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(*o.at("n").Number(), -150);
    EXPECT_TRUE(*o.at("t").Bool());
    EXPECT_TRUE(o.at("z").IsNull());
}

TEST(Json, RefusesMalformedText) {
    const char* bad[] = {"",
                         "{",
                         "{\"a\":1,}",
                         "{\"a\" 1}",
                         "{\"a\":1,\"a\":2}",
                         "[1 2]",
                         "01",
                         "1.",
                         "-",
                         "1e",
                         "1e999",
                         "tru",
                         "\"a",
                         "\"\\x\"",
                         "\"\\u12\"",
                         "\"\\ud800\"",
                         "\"\\udc00\"",
                         "\"\x01\"",
                         "\"\xC3\"",
                         "\"\xC0\xAF\"",
                         "\"\xED\xA0\x80\"",
                         "\"\xF4\x90\x80\x80\"",
                         "{} x",
                         "NaN"};
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(ParseJson(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
}

TEST(Json, NestingIsBounded) {
    std::string error;
    EXPECT_TRUE(
        ParseJson(std::string(kMaxJsonDepth, '[') + std::string(kMaxJsonDepth, ']'), error));
    EXPECT_FALSE(ParseJson(
        std::string(kMaxJsonDepth + 1, '[') + std::string(kMaxJsonDepth + 1, ']'), error));
    EXPECT_FALSE(ParseJson(std::string(100000, '['), error));
}

TEST(Json, QuotedTextReadsBack) {
    const std::string text = "a\"b\\c\n\x01\x1F\xC3\xA9";
    std::string error;
    const auto v = ParseJson(JsonQuote(text), error);
    ASSERT_TRUE(v) << error;
    EXPECT_EQ(*v->String(), text);
}

// --- Questions ----------------------------------------------------------------------

const char kQuestion[] = R"({"id":7,"browser":"chrome",
    "opener":{"title":"Shop","url":"http://127.0.0.1:8080/shop.html"},
    "target":"http://127.0.0.1:8080/ad.html",
    "click":{"element":"DIV","link":false,"newWindow":false,"ageMs":40,
             "ctrl":true,"shift":false,"alt":false},
    "window":{"type":"popup","left":-8,"top":20,"width":400,"height":300}})";

TEST(Question, ReadsEveryField) {
    const ParsedQuestion p = ParseQuestion(kQuestion);
    ASSERT_TRUE(p.question) << p.error;
    const NewWindowQuestion& q = *p.question;
    EXPECT_EQ(q.id, 7);
    EXPECT_EQ(q.browser, Browser::Chrome);
    EXPECT_EQ(q.openerTitle, "Shop");
    EXPECT_EQ(q.openerUrl, "http://127.0.0.1:8080/shop.html");
    EXPECT_EQ(q.target, "http://127.0.0.1:8080/ad.html");
    ASSERT_TRUE(q.click);
    EXPECT_EQ(q.click->element, "DIV");
    EXPECT_TRUE(q.click->ctrl);
    EXPECT_FALSE(q.click->shift);
    EXPECT_EQ(q.click->ageMs, 40);
    EXPECT_TRUE(q.popupWindow);
    EXPECT_EQ(q.left, -8);
    EXPECT_EQ(q.height, 300);
}

std::string With(std::string_view from, std::string_view to) {
    std::string text = kQuestion;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

// The question with its click replaced.
std::string WithClick(std::string_view click, std::string text = kQuestion) {
    const size_t from = text.find("\"click\":{");
    const size_t to = text.find('}', from);
    return text.replace(from, to + 1 - from, "\"click\":" + std::string(click));
}

TEST(Question, RefusesAnythingButTheAgreedFields) {
    struct Case {
        std::string json;
        const char* error;
    } cases[] = {
        {"[]", "the message must be an object"},
        {"{\"id\":1", "invalid JSON"},
        {With("\"id\":7,", "\"id\":7,\"extra\":1,"), "unknown field extra"},
        {With("\"alt\":false", "\"alt\":false,\"meta\":true"), "unknown field click.meta"},
        {With("\"height\":300", "\"height\":300,\"z\":0"), "unknown field window.z"},
        {With("\"url\":\"http://127.0.0.1:8080/shop.html\"", "\"u\":\"\""),
         "unknown field opener.u"},
        {With("\"target\":", "\"targets\":"), "unknown field targets"},
        {With(",\"browser\":\"chrome\"", ""), "missing field browser"},
        {With("\"id\":7", "\"id\":7.5"), "id must be a whole number"},
        {With("\"id\":7", "\"id\":-1"), "id must be a whole number"},
        {With("\"id\":7", "\"id\":\"7\""), "id must be a whole number"},
        {With("\"chrome\"", "\"firefox\""), "browser must be"},
        {With("\"popup\"", "\"panel\""), "window.type must be"},
        {With("\"left\":-8", "\"left\":4294967296"), "window.left must be a whole number"},
        {With("\"ctrl\":true", "\"ctrl\":1"), "click.ctrl must be true or false"},
        {With("\"ageMs\":40", "\"ageMs\":-3"), "click.ageMs must be a whole number"},
        {With("\"title\":\"Shop\"", "\"title\":null"), "opener.title must be a string"},
        {WithClick("7"), "click must be an object or null"},
    };
    for (const auto& c : cases) {
        const ParsedQuestion p = ParseQuestion(c.json);
        EXPECT_FALSE(p.question) << c.json;
        EXPECT_NE(p.error.find(c.error), std::string::npos) << p.error << " / " << c.error;
    }
}

TEST(Question, TheIdOfARefusedQuestionStillReachesItsReply) {
    EXPECT_EQ(ParseQuestion(With("\"chrome\"", "\"opera\"")).id, 7);
    EXPECT_FALSE(ParseQuestion("{\"id\":\"x\"}").id);
    EXPECT_EQ(ErrorReply(std::nullopt, "bad \"x\""), "{\"id\":null,\"error\":\"bad \\\"x\\\"\"}");
}

TEST(Question, ANullClickAndEdgeAreFine) {
    const ParsedQuestion q = ParseQuestion(WithClick("null", With("\"chrome\"", "\"edge\"")));
    ASSERT_TRUE(q.question) << q.error;
    EXPECT_FALSE(q.question->click);
    EXPECT_EQ(ProcessName(q.question->browser), "msedge.exe");
}

// --- Judgement: the integrator's rules on Chromium's facts ---------------------------

struct JudgeCase {
    const char* name;
    bool popupWindow;
    std::optional<Click> click;
    std::map<std::string, int16_t> options; // beyond Enable, Normalize, Block
    bool block;
    const char* reason;
    bool normalWindow;
};

Click NonLink(bool ctrl = false, bool shift = false, double age = 50) {
    return Click{"DIV", false, false, age, ctrl, shift, false};
}
Click NewWindowLink(bool ctrl = false) {
    return Click{"A", true, true, 50, ctrl, false, false};
}
const std::map<std::string, int16_t> kCtrlOverride{{"Ignore", -1}, {"IgnoreCtrl", -1}};

TEST(Judge, TheIntegratorsRulesDecide) {
    const JudgeCase cases[] = {
        {"opened on load",
         false,
         std::nullopt,
         {},
         true,
         "opened by the page without a click",
         false},
        {"popup on load", true, std::nullopt, {}, true, "without toolbar and menu bar", false},
        {"click outside a link",
         false,
         NonLink(),
         {},
         true,
         "opened by a click outside a link",
         false},
        {"stale link click",
         false,
         Click{"A", true, true, kFreshClickMs + 1, false, false, false},
         {},
         true,
         "without a click",
         false},
        {"link that opens a new window",
         false,
         NewWindowLink(),
         {},
         false,
         "clicked a link",
         false},
        {"same, blocking on user request",
         false,
         NewWindowLink(),
         {{"BlockOnUserRequest", -1}},
         true,
         "on user request",
         false},
        {"clicked link, popup window", true, NewWindowLink(), {}, true, "without toolbar", false},
        {"override key", false, NonLink(true), kCtrlOverride, false, "Ctrl held: the override key",
         false},
        {"override key, popup window, normalised",
         true,
         NonLink(true),
         {{"Ignore", -1},
          {"IgnoreCtrl", -1},
          {"Normalize2", -1},
          {"NormalizeAddMenuAndToolbar", -1}},
         false,
         "Ctrl held",
         true},
        {"another key", false, NonLink(false, true), kCtrlOverride, true,
         "outside a link (Shift held, not the override key)", false},
        {"override switched off",
         false,
         NonLink(true),
         {{"IgnoreCtrl", -1}},
         true,
         "Ctrl held, not the override key",
         false},
        {"blocking off",
         false,
         NonLink(),
         {{"Enable", 0}},
         false,
         "blocking is switched off",
         false},
        {"service lets it through",
         false,
         std::nullopt,
         {{"Block", 0}},
         false,
         "the popup service let it through",
         false},
    };
    for (const auto& c : cases) {
        FakeService service;
        service.answers["Block"] = -1;
        for (const auto& [k, v] : c.options) {
            service.answers[k] = v;
        }
        NewWindowQuestion q;
        q.openerTitle = "Shop";
        q.openerUrl = "http://127.0.0.1:8080/shop.html";
        q.target = "http://127.0.0.1:8080/ad.html";
        q.popupWindow = c.popupWindow;
        q.click = c.click;
        q.left = 10;
        q.top = 20;
        q.width = 400;
        q.height = 300;
        std::vector<std::string> traces;
        const Verdict v = Judge(service, q, [&](const std::string& l) { traces.push_back(l); });
        EXPECT_EQ(v.block, c.block) << c.name;
        EXPECT_NE(v.reason.find(c.reason), std::string::npos) << c.name << ": " << v.reason;
        EXPECT_EQ(v.normalWindow, c.normalWindow) << c.name;
        if (c.block) {
            ASSERT_EQ(service.blockCalls.size(), 1u) << c.name;
            const auto& call = service.blockCalls[0];
            EXPECT_EQ(call.title, "Shop") << c.name;
            EXPECT_EQ(call.parentUrl, q.openerUrl) << c.name;
            EXPECT_EQ(call.popupUrl, q.target) << c.name;
            EXPECT_EQ(call.process, "chrome.exe") << c.name;
            EXPECT_EQ(call.geometry, (integrator::WindowGeometry{10, 20, 400, 300})) << c.name;
        }
        if (!service.answers["Enable"]) {
            EXPECT_TRUE(traces.empty()) << c.name;
        } else {
            EXPECT_FALSE(traces.empty()) << c.name; // the integrator's own trace lines
        }
    }
}

TEST(Judge, MaximisingAppliesToPopupWindowsOnly) {
    for (bool popup : {false, true}) {
        FakeService service;
        service.answers = {{"Enable", -1},
                           {"Normalize", -1},
                           {"Normalize2", -1},
                           {"Ignore", -1},
                           {"IgnoreCtrl", -1},
                           {"NormalizeFitToDesktop", -1},
                           {"NormalizeAddBorders", -1}};
        NewWindowQuestion q;
        q.popupWindow = popup;
        q.click = NonLink(true);
        const Verdict v = Judge(service, q, nullptr);
        EXPECT_FALSE(v.block);
        EXPECT_EQ(v.maximise, popup);
        EXPECT_FALSE(v.normalWindow);
    }
}

TEST(Judge, AFailingServiceCallReachesTheCaller) {
    FakeService service;
    service.failOn = "Block";
    NewWindowQuestion q;
    EXPECT_THROW(Judge(service, q, nullptr), integrator::ServiceFailure);
}

TEST(Judge, RepliesCarryTheVerdict) {
    Verdict v;
    v.block = true;
    v.reason = "x";
    EXPECT_EQ(VerdictReply(3, v), "{\"id\":3,\"verdict\":\"block\",\"reason\":\"x\","
                                  "\"maximise\":false,\"normalWindow\":false}");
    EXPECT_EQ(VerdictReply(4, LetThrough("no tray program")),
              "{\"id\":4,\"verdict\":\"allow\",\"reason\":\"no tray program\","
              "\"maximise\":false,\"normalWindow\":false}");
}

} // namespace
} // namespace qlx::bridge
