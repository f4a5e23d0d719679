#include "common/core/reg_script.h"

#include <gtest/gtest.h>

namespace qlx {
namespace {

constexpr const char* kClassScript = R"(
HKCR
{
    Demo.Thing.1 = s 'Thing Class'
    {
        CLSID = s '{11111111-2222-3333-4444-555555555555}'
    }
    NoRemove CLSID
    {
        ForceRemove {11111111-2222-3333-4444-555555555555} = s 'Thing Class'
        {
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Apartment'
            }
            'Programmable'
            val AppID = s '%APPID%'
            val Flags = d '0x10'
        }
    }
}
)";

Replacements Table() {
    return {{"MODULE", "C:\\x\\thing.dll"}, {"APPID", "{AAAAAAAA-0000-0000-0000-000000000000}"}};
}

TEST(RegScript, ParsesKeysValuesFlagsAndReplacements) {
    RegScriptError err;
    auto script = ParseRegScript(kClassScript, Table(), &err);
    ASSERT_TRUE(script.has_value()) << err.line << ": " << err.message;
    ASSERT_EQ(script->roots.size(), 1u);
    const auto& keys = script->roots[0].keys;
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].name, "Demo.Thing.1");
    EXPECT_TRUE(keys[1].noRemove);
    const auto& cls = keys[1].subkeys.at(0);
    EXPECT_EQ(cls.name, "{11111111-2222-3333-4444-555555555555}");
    EXPECT_TRUE(cls.forceRemove);
    ASSERT_EQ(cls.subkeys.size(), 2u);
    EXPECT_EQ(cls.subkeys[0].values.at(0).data, RegData::String("C:\\x\\thing.dll"));
    EXPECT_EQ(cls.subkeys[0].values.at(1).name, "ThreadingModel");
    EXPECT_EQ(cls.subkeys[1].name, "Programmable");
    EXPECT_EQ(cls.values.at(1).name, "AppID");
    EXPECT_EQ(cls.values.at(2).data, RegData::Dword(16));
}

TEST(RegScript, ApplyThenUndoLeavesOnlyNoRemoveKeys) {
    auto script = ParseRegScript(kClassScript, Table());
    ASSERT_TRUE(script);
    MemoryRegistry reg;
    reg.CreateKey(RegRoot::ClassesRoot, "CLSID\\{OTHER}");
    ASSERT_TRUE(ApplyRegScript(*script, reg));
    const std::string cls = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, cls + "\\InprocServer32", "ThreadingModel"),
              RegData::String("Apartment"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, cls + "\\Programmable"));

    ASSERT_TRUE(UndoRegScript(*script, reg));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, cls));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Demo.Thing.1"));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "CLSID\\{OTHER}"));
    // Undoing twice is harmless.
    EXPECT_TRUE(UndoRegScript(*script, reg));
}

TEST(RegScript, ForceRemoveReplacesStaleContents) {
    auto script = ParseRegScript(kClassScript, Table());
    ASSERT_TRUE(script);
    MemoryRegistry reg;
    const std::string cls = "CLSID\\{11111111-2222-3333-4444-555555555555}";
    reg.CreateKey(RegRoot::ClassesRoot, cls + "\\LocalServer32");
    ASSERT_TRUE(ApplyRegScript(*script, reg));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, cls + "\\LocalServer32"));
}

TEST(RegScript, RejectsMalformedScriptsWithALine) {
    const struct {
        const char* text;
        int line;
    } cases[] = {
        {"HKCR\n{\n  Key = s 'unterminated\n}\n", 0},
        {"HKXX { }", 1},
        {"HKCR\n{\n  Key = q 'x'\n}", 3},
        {"HKCR { Key = d 'notanumber' }", 1},
        {"HKCR { Key = s '%UNKNOWN%' }", 1},
        {"HKCR { Key { Sub }", 1},
        {"HKCR { Key = d '0x100000000' }", 1},
        {"HKCR { Key = d '-1' }", 1},
        {"HKCR { Key = d '0x' }", 1},
        {"HKCR { Key = d '08x' }", 1},
        // A value at the root, and flag words that are none of ours.
        {"HKCR\n{\n  val Name = s 'x'\n}", 3},
        {"HKCR\n{\n  Delete Key\n}", 3},
        {"HKCR\n{\n  NoRemov CLSID\n  {\n  }\n}", 3},
    };
    for (const auto& c : cases) {
        RegScriptError err;
        EXPECT_FALSE(ParseRegScript(c.text, Table(), &err).has_value()) << c.text;
        EXPECT_FALSE(err.message.empty()) << c.text;
        if (c.line != 0) {
            EXPECT_EQ(err.line, c.line) << c.text;
        }
    }
}

TEST(RegScript, NumbersAreDecimalUnlessHexadecimal) {
    const struct {
        const char* text;
        uint32_t value;
    } cases[] = {{"10", 10}, {"010", 10}, {"0x10", 16}, {"0X1f", 31}, {"4294967295", 0xFFFFFFFF}};
    for (const auto& c : cases) {
        auto script =
            ParseRegScript(std::string("HKCU { K = d '") + c.text + "' }", Table(), nullptr);
        ASSERT_TRUE(script) << c.text;
        EXPECT_EQ(script->roots[0].keys[0].values[0].data, RegData::Dword(c.value)) << c.text;
    }
}

// A registry whose n-th write fails, as a key without write access does.
class FailingRegistry final : public Registry {
public:
    FailingRegistry(MemoryRegistry& inner, int failAt) : inner_(inner), left_(failAt) {}
    bool CreateKey(RegRoot r, std::string_view p) override {
        return Write() && inner_.CreateKey(r, p);
    }
    bool KeyExists(RegRoot r, std::string_view p) const override { return inner_.KeyExists(r, p); }
    bool DeleteTree(RegRoot r, std::string_view p) override { return inner_.DeleteTree(r, p); }
    bool SetValue(RegRoot r, std::string_view p, std::string_view n, const RegData& d) override {
        return Write() && inner_.SetValue(r, p, n, d);
    }
    std::optional<RegData> GetValue(RegRoot r, std::string_view p,
                                    std::string_view n) const override {
        return inner_.GetValue(r, p, n);
    }
    bool DeleteValue(RegRoot r, std::string_view p, std::string_view n) override {
        return inner_.DeleteValue(r, p, n);
    }
    bool IsKeyEmpty(RegRoot r, std::string_view p) const override {
        return inner_.IsKeyEmpty(r, p);
    }
    bool failed() const { return left_ < 0; }

private:
    bool Write() { return left_-- != 0; }
    MemoryRegistry& inner_;
    int left_;
};

// Whatever write fails, taking the journal back leaves the registry as it
// was: keys the script created go, values it replaced come back.
TEST(RegScript, RollBackUndoesAFailedApplication) {
    auto script = ParseRegScript(kClassScript, Table());
    ASSERT_TRUE(script);
    for (int failAt = 0;; ++failAt) {
        MemoryRegistry reg;
        reg.CreateKey(RegRoot::ClassesRoot, "Demo.Thing.1");
        reg.SetValue(RegRoot::ClassesRoot, "Demo.Thing.1", "", RegData::String("old"));
        reg.CreateKey(RegRoot::ClassesRoot, "CLSID\\{OTHER}");
        FailingRegistry failing(reg, failAt);
        RegJournal journal;
        if (ApplyRegScript(*script, failing, &journal)) {
            EXPECT_GT(failAt, 5); // every write was tried
            break;
        }
        RollBack(journal, reg);
        EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Demo.Thing.1", ""), RegData::String("old"))
            << failAt;
        EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Demo.Thing.1\\CLSID")) << failAt;
        EXPECT_FALSE(
            reg.KeyExists(RegRoot::ClassesRoot, "CLSID\\{11111111-2222-3333-4444-555555555555}"))
            << failAt;
        EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "CLSID\\{OTHER}")) << failAt;
    }
}

// A NoRemove key keeps its default value; what the script put below it goes.
TEST(RegScript, UndoKeepsTheDefaultValueOfNoRemoveKeys) {
    auto script =
        ParseRegScript("HKCR { NoRemove Shared = s 'kept' { val Mine = s 'x'\n Sub } }", Table());
    ASSERT_TRUE(script);
    MemoryRegistry reg;
    ASSERT_TRUE(ApplyRegScript(*script, reg));
    ASSERT_TRUE(UndoRegScript(*script, reg));
    EXPECT_EQ(reg.GetValue(RegRoot::ClassesRoot, "Shared", ""), RegData::String("kept"));
    EXPECT_FALSE(reg.GetValue(RegRoot::ClassesRoot, "Shared", "Mine").has_value());
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "Shared\\Sub"));
}

TEST(RegScript, QuotesAndPercentEscapes) {
    auto script = ParseRegScript("HKCU { 'It''s' = s '100%% sure' }", Table());
    ASSERT_TRUE(script);
    EXPECT_EQ(script->roots[0].keys[0].name, "It's");
    EXPECT_EQ(script->roots[0].keys[0].values[0].data, RegData::String("100% sure"));
}

} // namespace
} // namespace qlx
