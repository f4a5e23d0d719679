// The smaller rules: trace lines, window shape, the parent process, and the
// order of registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/core/registry_model.h"
#include "integrator/core/identity.h"
#include "integrator/core/kept_class_object.h"
#include "integrator/core/parent_process.h"
#include "integrator/core/registration.h"
#include "integrator/core/trace_lines.h"
#include "integrator/core/window_shape.h"

namespace qlx::integrator {
namespace {

TEST(TraceLinesTest, FormatsAsTheDebuggerShowsThem) {
    EXPECT_EQ(KeyTrace(-32767, 0, -128), "Key -32767, 0, -128");
    EXPECT_EQ(FlagsTrace(true, false, true), "Flags 1, 0, 1");
    EXPECT_EQ(FlagsBeforeTrace(false, true, false), "Flags before 0, 1, 0");
}

TEST(WindowShapeTest, FrameAddedOnlyToWindowsWithoutAnyFrameBit) {
    EXPECT_EQ(StyleWithFrame(0x90000000u), 0x90CF0000u);
    EXPECT_EQ(StyleWithFrame(0x00C00000u), std::nullopt); // caption only
    EXPECT_EQ(StyleWithFrame(0x00040000u), std::nullopt); // sizing frame only
}

TEST(WindowShapeTest, ChromeJudgedFromToolbarThenMenuBar) {
    auto menu = [](std::optional<bool> v) { return [v] { return v; }; };
    EXPECT_FALSE(LacksBrowserChrome(1, menu(true)));
    EXPECT_TRUE(LacksBrowserChrome(1, menu(false)));
    EXPECT_TRUE(LacksBrowserChrome(0, menu(true)));
    EXPECT_TRUE(LacksBrowserChrome(2, menu(true)));
    EXPECT_FALSE(LacksBrowserChrome(std::nullopt, menu(std::nullopt)));
}

// Class objects are numbered 1, 2, ... as obtained (0: none); an instance is
// ten times its class object's number (0: the server refused).
TEST(KeptClassObjectTest, ObtainedOnceKeptAndRenewedOnceAfterAFailure) {
    struct Case {
        const char* what;
        int keptBefore;
        int nextObtained; // what obtain() gives
        std::vector<int> serving;
        int instance;
        int obtains;
        bool keptAfter;
    };
    const Case cases[] = {
        {"first event obtains and keeps", 0, 1, {1}, 10, 1, true},
        {"later event reuses the kept one", 1, 2, {1}, 10, 0, true},
        {"stale kept one renewed in the same event", 1, 2, {2}, 20, 1, true},
        {"server gone: nothing kept", 1, 0, {}, 0, 1, false},
        {"renewed one fails too: no third try", 1, 2, {}, 0, 1, false},
        {"first event fails: nothing kept", 0, 1, {}, 0, 1, false},
    };
    for (const Case& c : cases) {
        KeptClassObject<int> kept;
        int obtains = 0;
        auto make = [&](int& classObject) {
            return std::find(c.serving.begin(), c.serving.end(), classObject) != c.serving.end()
                       ? classObject * 10
                       : 0;
        };
        if (c.keptBefore) {
            kept.Instance([&] { return c.keptBefore; }, [](int&) { return 1; });
        }
        EXPECT_EQ(kept.Instance([&] { return ++obtains, c.nextObtained; }, make), c.instance)
            << c.what;
        EXPECT_EQ(obtains, c.obtains) << c.what;
        EXPECT_EQ(kept.Kept(), c.keptAfter) << c.what;
    }
}

TEST(ParentProcessTest, NameOfTheProcessThatStartedTheBrowser) {
    std::vector<ProcessRecord> list{{0, 0, std::nullopt},
                                    {4, 0, "services.exe"},
                                    {8, 4, "explorer.exe"},
                                    {12, 8, "iexplore.exe"}};
    EXPECT_EQ(FindParentProcessName(list, 12), "explorer.exe");
    EXPECT_EQ(FindParentProcessName(list, 4), "Idle");
}

TEST(ParentProcessTest, EndedParentGivesEmptyNameExceptForTheShell) {
    std::vector<ProcessRecord> list{{12, 99, "iexplore.exe"}, {20, 98, "EXPLORER.EXE"}};
    EXPECT_EQ(FindParentProcessName(list, 12), "");
    EXPECT_EQ(FindParentProcessName(list, 20), "USERINIT.EXE");
}

std::string ReadClassScript() {
    std::ifstream in(QLX_INTEGRATOR_SCRIPT);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RegistrationTest : public ::testing::Test {
protected:
    RegistrationTest() : script(ReadClassScript()) {
        steps.script = script;
        steps.modulePath = "C:\\Program Files\\Quellix\\qlxi.dll";
        steps.typeLibrary = [this] {
            ++typeLibraryCalls;
            return typeLibraryResult;
        };
    }
    std::string Text(RegRoot root, const std::string& key, const std::string& name = "") {
        auto v = registry.GetValue(root, key, name);
        if (!v || v->bytes.empty()) {
            return "<none>";
        }
        return std::string(v->bytes.begin(), v->bytes.end() - 1);
    }

    std::string script;
    RegistrationSteps steps;
    MemoryRegistry registry;
    int typeLibraryCalls = 0;
    bool typeLibraryResult = true;
    const std::string classKey = std::string("CLSID\\") + kIntegratorClsid;
};

TEST_F(RegistrationTest, WritesHelperKeyClassAndBothProgIds) {
    ASSERT_FALSE(script.empty());
    ASSERT_EQ(RegisterIntegrator(registry, steps), RegistrationStatus::Ok);
    EXPECT_TRUE(registry.KeyExists(RegRoot::LocalMachine, kIntegratorBrowserHelperKey));
    EXPECT_TRUE(registry.IsKeyEmpty(RegRoot::LocalMachine, kIntegratorBrowserHelperKey));
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey), "IEIntegrator Object");
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey + "\\InprocServer32"), steps.modulePath);
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey + "\\InprocServer32", "ThreadingModel"),
              "apartment");
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey, "AppID"), ""); // set, but empty
    EXPECT_TRUE(registry.KeyExists(RegRoot::ClassesRoot, classKey + "\\Programmable"));
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey + "\\TypeLib"), kIntegratorLibid);
    EXPECT_EQ(Text(RegRoot::ClassesRoot, classKey + "\\ProgID"), "QLXIntegrator.IEIntegrator.1");
    EXPECT_EQ(Text(RegRoot::ClassesRoot, "QLXIntegrator.IEIntegrator.1\\CLSID"), kIntegratorClsid);
    EXPECT_EQ(Text(RegRoot::ClassesRoot, "QLXIntegrator.IEIntegrator\\CLSID"), kIntegratorClsid);
    EXPECT_EQ(Text(RegRoot::ClassesRoot, "QLXIntegrator.IEIntegrator\\CurVer"),
              "QLXIntegrator.IEIntegrator.1");
    EXPECT_EQ(typeLibraryCalls, 1);
}

TEST_F(RegistrationTest, WithoutWriteAccessNothingIsWrittenUnderClassesRoot) {
    registry.SetReadOnly(true);
    EXPECT_EQ(RegisterIntegrator(registry, steps), RegistrationStatus::BrowserHelperKeyFailed);
    EXPECT_FALSE(registry.KeyExists(RegRoot::ClassesRoot, classKey));
    EXPECT_EQ(typeLibraryCalls, 0);
}

TEST_F(RegistrationTest, ClassKeyIsReplacedWhole) {
    registry.CreateKey(RegRoot::ClassesRoot, classKey + "\\Stale");
    ASSERT_EQ(RegisterIntegrator(registry, steps), RegistrationStatus::Ok);
    EXPECT_FALSE(registry.KeyExists(RegRoot::ClassesRoot, classKey + "\\Stale"));
}

TEST_F(RegistrationTest, UnregistrationRemovesAllButTheClsidKey) {
    ASSERT_EQ(RegisterIntegrator(registry, steps), RegistrationStatus::Ok);
    registry.CreateKey(RegRoot::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}");
    ASSERT_EQ(UnregisterIntegrator(registry, steps), RegistrationStatus::Ok);
    EXPECT_FALSE(registry.KeyExists(RegRoot::LocalMachine, kIntegratorBrowserHelperKey));
    EXPECT_FALSE(registry.KeyExists(RegRoot::ClassesRoot, classKey));
    EXPECT_FALSE(registry.KeyExists(RegRoot::ClassesRoot, "QLXIntegrator.IEIntegrator"));
    EXPECT_TRUE(
        registry.KeyExists(RegRoot::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}"));
    EXPECT_EQ(typeLibraryCalls, 2);
}

TEST_F(RegistrationTest, UnregistrationWithoutHelperKeyFails) {
    EXPECT_EQ(UnregisterIntegrator(registry, steps), RegistrationStatus::BrowserHelperKeyFailed);
}

} // namespace
} // namespace qlx::integrator
