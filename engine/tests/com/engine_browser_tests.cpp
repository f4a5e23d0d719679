// The open operations against the recording browser stand-in: the Navigate2
// arguments and the window properties the engine sets.
#include "engine/tests/com/com_test_support.h"

namespace qlx::engine::testing {
namespace {

using ::testing::ElementsAre;

std::string StandInLog() {
    return qlx::testing::BinDir() + "browser_standin.log";
}

std::vector<std::string> ReadLog() {
    std::vector<std::string> lines;
    std::FILE* f = std::fopen(StandInLog().c_str(), "rb");
    if (f == nullptr) {
        return lines;
    }
    char buf[1024];
    while (std::fgets(buf, sizeof buf, f) != nullptr) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        lines.push_back(line);
    }
    std::fclose(f);
    return lines;
}

// The stand-in writes "Released" when the engine lets go of the window.
std::vector<std::string> WaitForRelease() {
    std::vector<std::string> lines;
    qlx::testing::WaitUntil(
        [&] {
            lines = ReadLog();
            return !lines.empty() && lines.back() == "Released";
        },
        20000);
    return lines;
}

class EngineBrowser : public EngineComTest {
protected:
    void SetUp() override {
        EngineComTest::SetUp();
        std::string command = "\"";
        command += qlx::testing::BinDir();
        command += "browser_standin.exe\" /RegServer";
        ASSERT_EQ(qlx::testing::RunAndWait(command), 0);
        ::DeleteFileA(StandInLog().c_str());
    }
    HRESULT InitWith(VARIANT_BOOL normWindows, VARIANT_BOOL fit, VARIANT_BOOL border,
                     VARIANT_BOOL menu) {
        const Bstr path = Bstr::FromAnsi(folder_.path());
        return engine_->EngineInit(Bstr(L"client.exe").get(), path.get(), VARIANT_FALSE,
                                   VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, normWindows, fit,
                                   border, menu, 0, 0, 0);
    }
    void BlockOne(const wchar_t* popup) {
        VARIANT_BOOL block = 0;
        Variant d;
        ASSERT_EQ(engine_->WXBlock(Bstr(L"T").get(), Bstr(L"http://a.b/").get(), Bstr(popup).get(),
                                   Bstr(L"x.exe").get(), 10, 20, 300, 200, &block, d.get()),
                  S_OK);
        ASSERT_EQ(block, VARIANT_TRUE);
    }
};

TEST_F(EngineBrowser, ReopenedPopupGetsItsGeometryAndNoBars) {
    ASSERT_EQ(InitWith(VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE), S_OK);
    BlockOne(L"http://p.q/x");
    VARIANT_BOOL opened = 0;
    ASSERT_EQ(engine_->OpenLastPopup(&opened), S_OK);
    EXPECT_EQ(opened, VARIANT_TRUE);
    EXPECT_THAT(WaitForRelease(),
                ElementsAre("Created", "Navigate2 BSTR:http://p.q/x I4:14 I4:64 BSTR: BSTR:",
                            "AddressBar 0", "MenuBar 0", "StatusBar 0", "ToolBar 0", "Left 10",
                            "Top 20", "Width 300", "Height 200", "Visible -1", "Released"));
}

TEST_F(EngineBrowser, UnrecordedAddressIsNormalisedByTheOptions) {
    ASSERT_EQ(InitWith(VARIANT_FALSE, VARIANT_TRUE, VARIANT_TRUE, VARIANT_TRUE), S_OK);
    VARIANT_BOOL inserted = 0;
    int pos = 0;
    engine_->AddToList(DOMAIN_LIST, Bstr(L"http://site.org").get(), VARIANT_TRUE, &inserted, &pos);
    ASSERT_EQ(engine_->OpenFromList(DOMAIN_LIST, 0), S_OK);
    EXPECT_THAT(WaitForRelease(),
                ElementsAre("Created",
                            "Navigate2 BSTR:http://site.org I4:14 I4:64 BSTR: BSTR:", "Left 0",
                            "Top 0", "Width " + std::to_string(::GetSystemMetrics(SM_CXFULLSCREEN)),
                            "Height " + std::to_string(::GetSystemMetrics(SM_CYFULLSCREEN)),
                            "Resizable -1", "MenuBar -1", "ToolBar 1", "Visible -1", "Released"));
}

TEST_F(EngineBrowser, NormalisationOptionOverridesTheRecordedShape) {
    ASSERT_EQ(InitWith(VARIANT_TRUE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE), S_OK);
    BlockOne(L"http://p.q/y");
    ASSERT_EQ(engine_->OpenFromHistory(0), S_OK);
    EXPECT_THAT(WaitForRelease(),
                ElementsAre("Created", "Navigate2 BSTR:http://p.q/y I4:14 I4:64 BSTR: BSTR:",
                            "Resizable 0", "MenuBar 0", "ToolBar 0", "Visible -1", "Released"));
}

TEST_F(EngineBrowser, NothingOpensWithoutHistory) {
    ASSERT_EQ(InitWith(VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE), S_OK);
    VARIANT_BOOL opened = VARIANT_TRUE;
    ASSERT_EQ(engine_->OpenLastPopup(&opened), S_OK);
    EXPECT_EQ(opened, VARIANT_FALSE);
    EXPECT_EQ(engine_->OpenFromHistory(0), E_INVALIDARG);
    ::Sleep(200);
    EXPECT_TRUE(ReadLog().empty());
}

} // namespace
} // namespace qlx::engine::testing
