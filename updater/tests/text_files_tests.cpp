// Variables files, scripts, the write-back of a variable, references and
// log lines.
#include <gtest/gtest.h>

#include "updater/core/log_line.h"
#include "updater/core/references.h"
#include "updater/core/text_files.h"

namespace qlx::updater {
namespace {

std::string Describe(const std::vector<VariableLine>& lines) {
    std::string out;
    for (const auto& l : lines) {
        out += (l.general ? "G " : "V ") + l.name + "=" + l.value + ";";
    }
    return out;
}

TEST(VariablesText, SectionsCommentsQuotesAndLineEnds) {
    const struct {
        const char* text;
        const char* lines;
    } cases[] = {
        {"a=1\r\n[GENERAL]\rb = 2 \n\n[Variables]\nc= x y ", "V a=1;G b=2;V c=x y;"},
        {"; x=1\n  // y=2\n[general]\nnoequals\n=v\nd=\n", "G d=;"},
        {"[general]\nq = \" padded \"\nr='a=b;c'\n[other] \ns=\"x\"'y'",
         "G q= padded ;G r=a=b;c;V s=xy;"},
        {"[general]\n[ general ]\nt=1\n[general\nu=2", "V t=1;V u=2;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Describe(ParseVariablesText(c.text)), c.lines) << c.text;
    }
}

TEST(ScriptText, WordsAndRepeatedSubstitutionThatAlwaysEnds) {
    const ScriptVariables vars = {{"Dir", "C:\\Program Files\\Q"},
                                  {"sys", "%WINDIR%\\system32"},
                                  {"windir", "C:\\windows"},
                                  {"A", "%B%"},
                                  {"B", "%A%"},
                                  {"Self", "x%self%"},
                                  {"Two", "%Double%%Double%"},
                                  {"Double", "%Two%%Two%"}};
    const struct {
        const char* word;
        const char* result;
    } cases[] = {
        {"%dir%\\a.dll", "C:\\Program Files\\Q\\a.dll"},
        {"%SYS%\\b.dll", "C:\\windows\\system32\\b.dll"},
        {"50%%dir%%", "50%C:\\Program Files\\Q%"},
        {"%unknown%\\%dir", "%unknown%\\%dir"},
        {"100%", "100%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SubstituteVariables(c.word, vars), c.result) << c.word;
    }
    // Circles end, as written after some rounds, and never grow without bound.
    const std::string circle = SubstituteVariables("%A%", vars);
    EXPECT_TRUE(circle == "%A%" || circle == "%B%") << circle;
    EXPECT_LE(SubstituteVariables("%Self%", vars).size(), 64u);
    EXPECT_LE(SubstituteVariables("%Two%", vars).size(), 70000u);

    const auto lines = ParseScriptText("; comment\r\n[Variables]\r\nX = 1\r\n"
                                       "copy \"%dir%\\a b.dll\" 'c d' rebootnone\r\n"
                                       "\r\n  exec  setup.exe /x=1 wait\n",
                                       vars);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], (ScriptLine{"copy", "C:\\Program Files\\Q\\a b.dll", "c d", "rebootnone"}));
    EXPECT_EQ(JoinWords(lines[1]), "exec setup.exe /x=1 wait");
}

TEST(WriteVariable, ReplacesTheLineOrAppendsOne) {
    const struct {
        const char* text;
        const char* name;
        bool option;
        WriteOutcome outcome;
        const char* result;
    } cases[] = {
        {"[general]\r\nProductVersion = 1.0.0.0\r\nX=1\r\n", "productversion", true,
         WriteOutcome::Replaced, "[general]\r\nProductVersion =9.9.9.9\r\nX=1\r\n"},
        {"[Variables]\r\nProductVersion=1\r\n[General]\r\nProductVersionX=2\r\n"
         ";ProductVersion=3\r\nProductVersion=4",
         "ProductVersion", true, WriteOutcome::Replaced,
         "[Variables]\r\nProductVersion=1\r\n[General]\r\nProductVersionX=2\r\n"
         ";ProductVersion=3\r\nProductVersion=9.9.9.9"},
        {"[Variables]\nAppDir=x\n", "AppDir", false, WriteOutcome::Replaced,
         "[Variables]\nAppDir=9.9.9.9\n"},
        {"[general]\nProductVersion\n", "ProductVersion", true, WriteOutcome::InvalidFormat,
         "[general]\nProductVersion\n"},
        {"[Variables]\nProductVersion=1\n", "ProductVersion", true, WriteOutcome::Appended,
         "[Variables]\nProductVersion=1\n\r\n[general]\r\nProductVersion=9.9.9.9"},
        {"", "Var", false, WriteOutcome::Appended, "\r\n[Variables]\r\nVar=9.9.9.9"},
    };
    for (const auto& c : cases) {
        const WriteResult r = WriteVariableText(c.text, c.name, "9.9.9.9", c.option);
        EXPECT_EQ(r.outcome, c.outcome) << c.text;
        EXPECT_EQ(r.text, c.result) << c.text;
        // What was written reads back.
        if (r.outcome != WriteOutcome::InvalidFormat) {
            bool found = false;
            for (const auto& line : ParseVariablesText(r.text)) {
                found |= line.general == c.option && EqualsNoCase(line.name, c.name) &&
                         line.value == "9.9.9.9";
            }
            EXPECT_TRUE(found) << r.text;
        }
    }
}

TEST(References, RegistryFormsFileTrimAndPaths) {
    const struct {
        const char* text;
        bool valid;
        RegRoot root;
        const char* key;
        const char* value;
    } refs[] = {
        {"HKCU\\Software\\Q\\Name", true, RegRoot::CurrentUser, "Software\\Q", "Name"},
        {"hklm\\Software\\Q\\Name", true, RegRoot::LocalMachine, "Software\\Q", "Name"},
        {"HKU\\.DEFAULT\\Name", true, RegRoot::Users, ".DEFAULT", "Name"},
        {"Software\\Q\\Name", true, RegRoot::LocalMachine, "Software\\Q", "Name"},
        {"HKCR\\x\\y", true, RegRoot::LocalMachine, "HKCR\\x", "y"},
        {"Name", false, RegRoot::LocalMachine, "", ""},
        {"HKCU\\Name", false, RegRoot::LocalMachine, "", ""},
        {"Software\\Q\\", false, RegRoot::LocalMachine, "", ""},
    };
    for (const auto& r : refs) {
        auto parsed = ParseRegistryReference(r.text);
        ASSERT_EQ(parsed.has_value(), r.valid) << r.text;
        if (parsed) {
            EXPECT_EQ(parsed->root, r.root) << r.text;
            EXPECT_EQ(parsed->keyPath, r.key) << r.text;
            EXPECT_EQ(parsed->valueName, r.value) << r.text;
        }
    }
    MemoryRegistry registry;
    registry.CreateKey(RegRoot::LocalMachine, "K");
    registry.SetValue(RegRoot::LocalMachine, "K", "Sz", RegData::String("text"));
    registry.SetValue(RegRoot::LocalMachine, "K", "Raw", {RegType::String, {'a', 'b'}});
    registry.SetValue(RegRoot::LocalMachine, "K", "Exp",
                      RegData::String("x", RegType::ExpandString));
    std::string reason;
    EXPECT_EQ(ReadRegistryString(registry, {RegRoot::LocalMachine, "K", "Sz"}, &reason), "text");
    EXPECT_EQ(ReadRegistryString(registry, {RegRoot::LocalMachine, "K", "Raw"}, &reason), "ab");
    EXPECT_FALSE(ReadRegistryString(registry, {RegRoot::LocalMachine, "K", "Exp"}, &reason));
    EXPECT_EQ(reason, "Incorrect type. Not a REG_SZ.");

    EXPECT_EQ(TrimFileValue("1.2.3.4 \r\n\t\x01\x1f "), "1.2.3.4");
    EXPECT_EQ(TrimFileValue("caf\xe9"), "caf\xe9");
    EXPECT_EQ(TrimFileValue("\r\n"), "");

    EXPECT_EQ(ResolvePath("C:\\p\\", "a.dll"), "C:\\p\\a.dll");
    EXPECT_EQ(ResolvePath("C:\\p", "sub\\a.dll"), "C:\\p\\sub\\a.dll");
    EXPECT_EQ(ResolvePath("C:\\p\\", "\\a.dll"), "C:\\p\\a.dll");
    EXPECT_EQ(ResolvePath("C:\\p\\", "D:\\x.dll"), "D:\\x.dll");
}

TEST(LogLine, TimeBlanksMessageAndLineEnd) {
    std::tm t{};
    t.tm_wday = 1, t.tm_mon = 0, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 16, t.tm_sec = 2;
    t.tm_year = 105;
    const std::string stamp = TextualTime(t);
    EXPECT_EQ(stamp, "Mon Jan  7 09:16:02 2005");
    const struct {
        const char* message;
        const char* line; // nullptr: nothing written
    } cases[] = {
        {"ok", nullptr},
        {"\r\n", nullptr},
        {"", nullptr},
        {"abc", "Mon Jan  7 09:16:02 2005    abc\r\n"},
        {"   ", "Mon Jan  7 09:16:02 2005       \r\n"},
        {"x\n\r", "Mon Jan  7 09:16:02 2005    x\n\r"},
        {"x\r\n", "Mon Jan  7 09:16:02 2005    x\r\n"},
        {"xy\n", "Mon Jan  7 09:16:02 2005    xy\n\r\n"},
    };
    for (const auto& c : cases) {
        auto line = FormatLogLine(stamp, c.message);
        ASSERT_EQ(line.has_value(), c.line != nullptr) << c.message;
        if (line) {
            EXPECT_EQ(*line, c.line);
        }
    }
}

} // namespace
} // namespace qlx::updater
