#pragma once
// Scripted stand-ins for the popup service, the browser window and the
// surroundings, recording what the decision client asks of them.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "integrator/core/decision_client.h"

namespace qlx::integrator::testing {

struct FakeService : PopupService {
    // Options by member name; raw COM booleans. Unlisted members answer 0.
    std::map<std::string, int16_t> answers{{"Enable", -1}, {"Normalize", -1}};
    std::vector<std::string> calls;
    std::string failOn; // member that throws ServiceFailure
    struct BlockCall {
        std::string title, parentUrl, popupUrl, process;
        WindowGeometry geometry;
    };
    std::vector<BlockCall> blockCalls;
    std::function<void(const std::string&)> onCall; // what other windows do meanwhile

    int16_t Answer(const std::string& member) {
        calls.push_back(member);
        if (onCall) {
            onCall(member);
        }
        if (member == failOn) {
            throw ServiceFailure(0x800706BAL);
        }
        auto it = answers.find(member);
        return it == answers.end() ? 0 : it->second;
    }
    int16_t Enable() override { return Answer("Enable"); }
    int16_t Block(const std::string& t, const std::string& p, const std::string& u,
                  const std::string& proc, const WindowGeometry& g) override {
        blockCalls.push_back({t, p, u, proc, g});
        return Answer("Block");
    }
    int16_t Block2(const std::string&, const std::string&, const WindowGeometry&) override {
        return Answer("Block2");
    }
    int16_t BlockOnUserRequest() override { return Answer("BlockOnUserRequest"); }
    int16_t Normalize() override { return Answer("Normalize"); }
    int16_t Normalize2() override { return Answer("Normalize2"); }
    int16_t NormalizeFitToDesktop() override { return Answer("NormalizeFitToDesktop"); }
    int16_t NormalizeAddBorders() override { return Answer("NormalizeAddBorders"); }
    int16_t NormalizeAddMenuAndToolbar() override { return Answer("NormalizeAddMenuAndToolbar"); }
    int16_t Ignore() override { return Answer("Ignore"); }
    int16_t IgnoreCtrl() override { return Answer("IgnoreCtrl"); }
    int16_t IgnoreShift() override { return Answer("IgnoreShift"); }
    int16_t IgnoreAlt() override { return Answer("IgnoreAlt"); }

    bool Called(const std::string& member) const {
        for (const auto& c : calls) {
            if (c == member) {
                return true;
            }
        }
        return false;
    }
};

struct FakeBrowser : BrowserWindow {
    std::string name = "Page";
    std::string url = "http://www.site.example/dir/page.html";
    std::optional<int32_t> toolbar = 1;
    std::optional<bool> menubar = true;
    std::optional<uint32_t> style = 0x10000000;
    bool menuBarRead = false;
    bool quit = false;
    bool maximised = false;
    bool chromeRestored = false;

    std::string LocationName() override { return name; }
    std::string LocationURL() override { return url; }
    std::optional<int32_t> ToolBar() override { return toolbar; }
    std::optional<bool> MenuBar() override {
        menuBarRead = true;
        return menubar;
    }
    void StopAndQuit() override { quit = true; }
    void ShowMaximised() override { maximised = true; }
    std::optional<uint32_t> Style() override { return style; }
    void SetStyle(uint32_t s) override { style = s; }
    void RestoreChrome() override { chromeRestored = true; }
};

struct FakeSurroundings : Surroundings {
    std::map<Key, int16_t> keys;
    std::vector<std::string> traces;
    std::vector<Key> keysRead;
    std::string parentProcess = "explorer.exe";
    bool terminated = false;

    int16_t KeyState(Key key) override {
        keysRead.push_back(key);
        auto it = keys.find(key);
        return it == keys.end() ? 0 : it->second;
    }
    void Trace(const std::string& line) override { traces.push_back(line); }
    std::string DiscoverParentProcess() override { return parentProcess; }
    void TerminateBrowser() override { terminated = true; }
};

} // namespace qlx::integrator::testing
