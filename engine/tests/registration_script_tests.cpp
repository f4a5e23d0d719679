// The registration scripts of QLXEng.dll, applied to and undone from an
// in-memory registry.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "common/core/reg_script.h"

namespace qlx {
namespace {

constexpr const char* kClsid = "CLSID\\{3C58D447-43A1-40D1-890A-C4240FDCC404}";
constexpr const char* kAppId = "{5533473E-41E2-4BE2-9A8C-E50C879F9161}";

RegScript Load(const char* name) {
    std::ifstream in(std::string(QLX_ENGINE_COM_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    RegScriptError error;
    auto script = ParseRegScript(text.str(), {{"MODULE", "C:\\x\\QLXEng.dll"}}, &error);
    EXPECT_TRUE(script.has_value()) << name << ":" << error.line << " " << error.message;
    return script.value_or(RegScript{});
}

std::string Str(const Registry& reg, const std::string& path, const std::string& name = "") {
    auto v = reg.GetValue(RegRoot::ClassesRoot, path, name);
    if (!v || v->bytes.empty()) {
        return "<missing>";
    }
    return std::string(v->bytes.begin(), v->bytes.end() - 1);
}

TEST(EngineRegistration, WritesAppIdProgIdsAndClass) {
    MemoryRegistry reg;
    ASSERT_TRUE(ApplyRegScript(Load("wx_engine_appid.rgs"), reg));
    ASSERT_TRUE(ApplyRegScript(Load("wx_engine.rgs"), reg));
    EXPECT_EQ(Str(reg, std::string("AppID\\") + kAppId), "WexafelEngine");
    EXPECT_EQ(Str(reg, "AppID\\WexafelEngine.DLL", "AppID"), kAppId);
    EXPECT_EQ(Str(reg, "WXEngine.WXEngine.1"), "WXEngine Class");
    EXPECT_EQ(Str(reg, "WXEngine.WXEngine.1\\CLSID"), "{3C58D447-43A1-40D1-890A-C4240FDCC404}");
    EXPECT_EQ(Str(reg, "WXEngine.WXEngine\\CLSID"), "{3C58D447-43A1-40D1-890A-C4240FDCC404}");
    EXPECT_EQ(Str(reg, "WXEngine.WXEngine\\CurVer"), "WXEngine.WXEngine.1");
    const std::string c = kClsid;
    EXPECT_EQ(Str(reg, c), "WXEngine Class");
    EXPECT_EQ(Str(reg, c + "\\ProgID"), "WXEngine.WXEngine.1");
    EXPECT_EQ(Str(reg, c + "\\VersionIndependentProgID"), "WXEngine.WXEngine");
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, c + "\\Programmable"));
    EXPECT_EQ(Str(reg, c + "\\InprocServer32"), "C:\\x\\QLXEng.dll");
    EXPECT_EQ(Str(reg, c + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Str(reg, c + "\\TypeLib"), "{3879320D-2E2E-461E-A2CD-4B2FB011E5F9}");
    EXPECT_EQ(Str(reg, c, "AppID"), kAppId);
}

TEST(EngineRegistration, UndoKeepsOnlyTheSharedKeys) {
    MemoryRegistry reg;
    reg.CreateKey(RegRoot::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    const RegScript appId = Load("wx_engine_appid.rgs");
    const RegScript cls = Load("wx_engine.rgs");
    ASSERT_TRUE(ApplyRegScript(appId, reg));
    ASSERT_TRUE(ApplyRegScript(cls, reg));
    ASSERT_TRUE(UndoRegScript(appId, reg));
    ASSERT_TRUE(UndoRegScript(cls, reg));
    EXPECT_TRUE(reg.KeyExists(RegRoot::ClassesRoot, "AppID"));
    EXPECT_TRUE(
        reg.KeyExists(RegRoot::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, std::string("AppID\\") + kAppId));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "AppID\\WexafelEngine.DLL"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, kClsid));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "WXEngine.WXEngine"));
    EXPECT_FALSE(reg.KeyExists(RegRoot::ClassesRoot, "WXEngine.WXEngine.1"));
}

} // namespace
} // namespace qlx
