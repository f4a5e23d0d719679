// The option language: words, verbs, options and references on the command
// line, variables files, and the defaults.
#include <gtest/gtest.h>

#include <memory>

#include "updater/core/options.h"
#include "updater/core/words.h"
#include "updater/tests/test_support.h"

namespace qlx::updater::testing {
namespace {

TEST(CommandLineWords, SplitAtBlanksOutsideQuotes) {
    const struct {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"  a \t b  ", {"a", "b"}},
        {"-AppDir=\"C:\\Program Files\\Q\\\" next", {"-AppDir=C:\\Program Files\\Q\\", "next"}},
        {"'single quoted' \"it's\"", {"single quoted", "it's"}},
        {"'a\"b' \"\" x", {"a\"b", "", "x"}},
        {"\"unterminated rest", {"unterminated rest"}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitWords(c.text), c.words) << c.text;
    }
}

TEST(OptionStore, NamesIgnoreCaseAndListsCollect) {
    OptionStore store;
    store.Set("server", "a", "@up.dat");
    store.Set("SERVER", "b", "b");
    store.Set("ProductVersion", "1", "1");
    store.Set("productversion", "2", "#HKLM\\x\\v");
    store.Set("LookupDir", "d1", "d1");
    store.Set("lookupdir", "d2", "d2");
    EXPECT_EQ(store.Values("Server"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(store.Raw("Server"), "@up.dat");
    EXPECT_EQ(store.Values("ProductVersion"), std::vector<std::string>{"2"});
    EXPECT_EQ(store.Raw("PRODUCTVERSION"), "#HKLM\\x\\v");
    EXPECT_EQ(store.Values("LookupDir").size(), 2u);
    EXPECT_FALSE(store.Has("UseSSL"));
    EXPECT_TRUE(IsKnownOption("resourcefile"));
    EXPECT_FALSE(IsKnownOption("AppDir"));
}

TEST(VerbRules, FirstVerbWinsAndEveryIgnoredWordIsReported) {
    const struct {
        std::vector<const char*> words;
        int request;
        const char* script;
        std::vector<std::string> warnings;
    } cases[] = {
        {{"UPDATE"}, kUpdate, "", {}},
        {{"executescript=a b.script"}, kExecuteScript, "a b.script", {}},
        {{"foo", "check"}, kCheck, "", {"Warning: unknown verb: foo, ignored."}},
        {{"check", "update", "bar"},
         kCheck,
         "",
         {"Warning: misplaced verb: update, ignored.", "Warning: misplaced verb: bar, ignored."}},
        {{"executescript", "update=x", "getlanguage"},
         kGetLanguage,
         "",
         {"Warning: incorrectly used ExecuteScript verb, ignored.",
          "Warning: misused verb: update=x, ignored."}},
        {{"update", "executescript=s"},
         kUpdate,
         "",
         {"Warning: incorrectly used ExecuteScript verb, ignored."}},
        {{"executescript=s", "executescript=t"},
         kExecuteScript,
         "s",
         {"Warning: incorrectly used ExecuteScript verb, ignored."}},
        {{"DelayedLangReg"}, kDelayedLangReg, "", {}},
    };
    for (const auto& c : cases) {
        VerbRules rules;
        std::vector<std::string> warnings;
        for (const char* w : c.words) {
            if (std::string warning = rules.Feed(w); !warning.empty()) {
                warnings.push_back(warning);
            }
        }
        EXPECT_EQ(rules.Request(), c.request) << c.words.front();
        EXPECT_EQ(rules.Script(), c.script) << c.words.front();
        EXPECT_EQ(warnings, c.warnings) << c.words.front();
    }
}

struct ArgumentCase {
    const char* commandLine;
    std::map<std::string, std::string> files;
    std::vector<std::string> checks;
};

void SetRegistry(MemoryRegistry& registry) {
    registry.CreateKey(RegRoot::LocalMachine, "Software\\Q");
    registry.SetValue(RegRoot::LocalMachine, "Software\\Q", "AppName", RegData::String("Q"));
    registry.SetValue(RegRoot::LocalMachine, "Software\\Q", "Abbr", RegData::String("QA"));
    registry.SetValue(RegRoot::LocalMachine, "Software\\Q", "Count", RegData::Dword(3));
    registry.CreateKey(RegRoot::CurrentUser, "Software\\Q");
    registry.SetValue(RegRoot::CurrentUser, "Software\\Q", "Server", RegData::String("http://u"));
}

// Reads the case's command line (and applies the defaults) and checks it.
struct ArgumentRig {
    EngineRig rig;
    UpdateEngine engine;
    explicit ArgumentRig(const ArgumentCase& c)
        : rig(c.commandLine), engine(rig.platform, rig.windows, rig.log) {}
};

std::unique_ptr<ArgumentRig> CheckArguments(const ArgumentCase& c, bool defaults) {
    auto last = std::make_unique<ArgumentRig>(c);
    SetRegistry(last->rig.platform.registry);
    for (const auto& [path, text] : c.files) {
        last->rig.platform.files[path] = text;
    }
    last->engine.ReadArguments();
    if (defaults) {
        last->engine.ApplyDefaults();
    }
    EXPECT_EQ(FailedChecks(last->engine, last->rig.log, c.checks), std::vector<std::string>())
        << c.commandLine;
    return last;
}

TEST(CommandLine, OptionsReferencesAndVariablesFiles) {
    const ArgumentCase cases[] = {
        {"-server=a /Server=b -ProductVersion=1 -productversion=2",
         {},
         {"opt:Server=a|b", "opt:ProductVersion=2",
          "log:Warning: variables file not found: C:\\prog\\updater.dat"}},
        {"-ProductName=\"#HKLM\\Software\\Missing\\AppName\" -ProductVersion=@pv.dat",
         {{"C:\\prog\\pv.dat", "1.2.3.4 \r\n\t\r\n"}},
         {"no:ProductName", "opt:ProductVersion=1.2.3.4", "raw:ProductVersion=@pv.dat",
          "log:Warning: couldn't read #HKLM\\Software\\Missing\\AppName from registry: "
          "Can't open registry key."}},
        {"-ProductName=#HKLM\\Software\\Q\\AppName -Server=#hkcu\\Software\\Q\\Server "
         "-UseSSL=#Software\\Q\\Count -Appearance=#Software\\Q\\None -VersionFile=@none.dat",
         {},
         {"opt:ProductName=Q", "opt:Server=http://u", "no:UseSSL", "no:Appearance",
          "log:Warning: couldn't read #Software\\Q\\Count from registry: Incorrect type. "
          "Not a REG_SZ.",
          "log:Warning: couldn't read #Software\\Q\\None from registry: Can't read registry "
          "value.",
          "log:Warning: couldn't read @none.dat from C:\\prog\\none.dat: file error."}},
        {"-Server -AppDir=\"C:\\Program Files\\Q\" -Empty /Abbr=#Software\\Q\\Abbr",
         {},
         {"no:Server", "var:AppDir=C:\\Program Files\\Q", "var:Empty=", "var:Abbr=QA",
          "log:Warning: no value specified for: Server"}},
        {"-ProductVersion=1.1.1.1 -Server=cmd @extra.dat",
         {{"C:\\prog\\updater.dat", "; comment\r\n[General]\r\nProductVersion = 2.2.2.2\r\n"
                                    "[Variables]\r\nServer=not an option\r\n"},
          {"C:\\prog\\extra.dat", "[general]\nserver='http://x/u p'\nTarget=@t.dat\n"
                                  "ProductName=#Software\\Q\\AppName\nOther=v\n"},
          {"C:\\prog\\t.dat", "T\r\n"}},
         {"opt:ProductVersion=2.2.2.2", "raw:ProductVersion=<C:\\prog\\updater.dat",
          "opt:Server=cmd|http://x/u p", "var:Server=not an option", "var:Target=T", "var:Other=v",
          "raw:ProductName=#Software\\Q\\AppName",
          "log:Processing variables file: C:\\prog\\updater.dat",
          "log:Processing variables file: C:\\prog\\extra.dat"}},
        // One in the current folder is not the program's own.
        {"",
         {{"updater.dat", "[general]\nServer=http://elsewhere/u\n"}},
         {"no:Server", "log:Warning: variables file not found: C:\\prog\\updater.dat"}},
        {"@missing.dat",
         {{"C:\\prog\\updater.dat", "[general]\nServer=@gone.dat\n"}},
         {"no:Server", "log:Warning: variables file not found: C:\\prog\\missing.dat",
          "log:Warning: couldn't read @gone.dat from C:\\prog\\updater.dat"}},
    };
    for (const auto& c : cases) {
        CheckArguments(c, false);
    }
}

TEST(Defaults, AppliedOnlyToMissingOptionsInTheirOrder) {
    const ArgumentCase cases[] = {
        {"",
         {{"C:\\prog\\up.dat", "http://up\r\n"}, {"C:\\prog\\pv.dat", "1.0.0.1"}},
         {"opt:Server=http://up", "raw:Server=@up.dat", "opt:ProductVersion=1.0.0.1",
          "opt:UseSSL=no", "opt:Appearance=Normal", "opt:DefaultScript=update.script",
          "opt:VersionFile=pv.dat", "opt:ProductFamily=0", "no:ProductAbbreviation"}},
        {"-ProductName=Q -ProductFamily=0042 -UseSSL=yes",
         {},
         {"opt:ProductAbbreviation=QA", "raw:ProductAbbreviation=#Software\\Q\\Abbr",
          "opt:UseSSL=yes", "no:Server", "no:ProductVersion",
          "log:Warning: couldn't read @up.dat from C:\\prog\\up.dat: file error."}},
        {"-ProductName=Missing -ProductFamily=1a",
         {},
         {"no:ProductAbbreviation",
          "log:Warning: incorrect value for ProductFamily option, defaulting to 0."}},
        {"-ProductFamily=99999999999",
         {{"C:\\prog\\pv.dat", "   \r\n"}},
         {"no:ProductVersion",
          "log:Warning: incorrect value for ProductFamily option, defaulting to 0."}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckArguments(c, true)->engine.ProductFamily(),
                  std::string_view(c.commandLine).find("0042") != std::string_view::npos ? 42 : 0);
    }
}

} // namespace
} // namespace qlx::updater::testing
