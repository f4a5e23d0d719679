// The browser host: stands in for the browser so that the integrator can be
// exercised end to end. It loads the browser helper objects as the browser
// does and plays scenarios, printing one line per pop-up:
//   POPUP <scenario> <address> BLOCKED|LET-THROUGH <ms> [window state] (<why>)
//
// browser_host.exe [--no-helpers] [--key=ctrl|shift|alt] [--count=N] [--windows=N]
//                  [--page=URL] scenario...
// --page names the page of the window that opens the pop-ups.
// Scenarios: script-popup link-click key-click chromeless internal-page
//            blocking-off tray-absent late-tray tray-restart orphan-request stale-request
//            short-navigation navigation stress timing concurrency
// After each single pop-up scenario: HOST <scenario> filter=kept|lost, whether
// the asking window's own message filter is still in place.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/win32/com_apartment.h"
#include "window_thread.h"

using namespace qlx::browser_host;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    bool loadHelpers = true;
    WORD key = VK_CONTROL;
    int count = 20;
    int windows = 8;
    std::string page = "http://news.example/article.html";
};

double Milliseconds(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

WindowLayout AskingWindow() {
    WindowLayout layout;
    layout.title = "Browser";
    return layout;
}

WindowLayout PopupWindow(bool chrome) {
    WindowLayout layout;
    layout.title = "Pop-up";
    layout.framed = chrome;
    layout.chrome.toolBar = chrome ? 1 : 0;
    layout.chrome.menuBar = chrome;
    layout.chrome.statusBar = chrome;
    layout.chrome.resizable = chrome;
    layout.rect = RECT{200, 150, 200 + 400, 150 + 300};
    return layout;
}

// A navigation as the browser reports it: BeforeNavigate2, then, unless the
// window was closed meanwhile, the page and DocumentComplete.
void Navigate(Browser& browser, const std::string& url, const std::string& title,
              size_t argCount = 7) {
    browser.FireBeforeNavigate2(url, argCount);
    if (browser.QuitRequested()) {
        return;
    }
    browser.SetLocation(url, title);
    browser.FireDocumentComplete(url);
}

struct PopupResult {
    bool blocked = false;
    bool hung = false;
    double ms = 0;
    std::string state;
};

std::string WindowState(BrowserWindowThread& window) {
    std::string state;
    window.Run([&](Browser& browser, HWND hwnd) {
        const BrowserChrome& c = browser.Chrome();
        const LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
        char text[160];
        std::snprintf(text, sizeof text,
                      "toolbar=%d menubar=%d statusbar=%d resizable=%d maximised=%d framed=%d",
                      c.toolBar, c.menuBar, c.statusBar, c.resizable, ::IsZoomed(hwnd) ? 1 : 0,
                      (style & 0x00CF0000) == 0x00CF0000 ? 1 : 0);
        state = text;
    });
    return state;
}

// The new window's life after the request: made, first navigation, and
// either closed by the integrator or shown.
PopupResult OpenNewWindow(const Options& options, WindowLayout layout, const std::string& url,
                          Clock::time_point start, size_t navigateArgs = 7) {
    PopupResult result;
    auto popup = std::make_unique<BrowserWindowThread>(std::move(layout), options.loadHelpers);
    bool quit = false;
    if (!popup->Run([&](Browser& browser, HWND) {
            Navigate(browser, url, "Pop-up page", navigateArgs);
            quit = browser.QuitRequested();
        })) {
        result.hung = !popup->Closed();
    }
    if (quit) {
        result.blocked = popup->WaitClosed(10000);
    }
    result.ms = Milliseconds(Clock::now() - start);
    if (!result.blocked && !popup->Closed()) {
        result.state = WindowState(*popup);
    }
    popup->Close();
    popup->WaitClosed(10000);
    return result;
}

struct Scenario {
    const char* name;
    const char* popupUrl;
    bool popupChrome;
    enum class Request { Script, Click, KeyClick, None } request;
    const char* whyBlocked;
    const char* whyLetThrough;
    size_t navigateArgs = 7;
};

const Scenario kScenarios[] = {
    {"script-popup", "http://ads.example/popup.html", true, Scenario::Request::Script,
     "the page opened a window by script", "the tray program let it pass"},
    {"link-click", "http://news.example/related.html", true, Scenario::Request::Click,
     "the window followed a click but was still taken for a pop-up",
     "the user clicked a link that opens an ordinary window"},
    {"key-click", "http://ads.example/offer.html", false, Scenario::Request::KeyClick,
     "the key held is not the configured override key", "the override key was held at the request"},
    {"chromeless", "http://ads.example/banner.html", false, Scenario::Request::None,
     "a window without toolbar and menu bar", "the tray program let it pass"},
    {"internal-page", "res://shdoclc.dll/navcancl.htm", true, Scenario::Request::Script,
     "the browser's own page was taken for a pop-up", "an internal page of the browser"},
    {"blocking-off", "http://ads.example/popup.html", true, Scenario::Request::Script,
     "blocking was on", "blocking is switched off"},
    {"tray-absent", "http://ads.example/popup.html", true, Scenario::Request::Script,
     "the tray program was running", "the tray program is not running"},
    // A request whose window never comes (it opened in another process),
    // then an ordinary script pop-up: its request must not wait for ever.
    // The page is open before the tray program starts; its pop-up comes after.
    {"late-tray", "http://ads.example/late.html", true, Scenario::Request::Script,
     "the window opened before the tray program is handled once it runs",
     "the window opened before the tray program stayed unhandled"},
    {"orphan-request", "http://ads.example/second.html", true, Scenario::Request::Script,
     "the stale request was dropped and this one handled",
     "the stale request was dropped; the tray program let it pass"},
    // A request whose window never comes, then, 6 s later, an ordinary
    // navigation of the asking window itself.
    {"stale-request", "http://news.example/next.html", true, Scenario::Request::None,
     "a request left behind closed an unrelated window", "the request left behind had aged out"},
    // The asking window stays open while the tray program ends and starts
    // again; its next request must reach the new one.
    {"tray-restart", "http://ads.example/restart.html", true, Scenario::Request::Script,
     "the tray program restarted; the request reached the new one",
     "the request did not reach the restarted tray program"},
    // A chrome-less window whose navigation event comes without its arguments.
    {"short-navigation", "http://ads.example/short.html", false, Scenario::Request::None,
     "an event without an address was judged", "an event without an address is not judged", 2},
};

const char* KeyName(WORD key) {
    return key == VK_SHIFT ? "Shift" : key == VK_MENU ? "Alt" : "Ctrl";
}

PopupResult PlayPopup(const Options& options, const Scenario& scenario,
                      BrowserWindowThread& asking) {
    const auto start = Clock::now();
    bool keySeen = true;
    if (scenario.request != Scenario::Request::None) {
        asking.Run([&](Browser& browser, HWND hwnd) {
            const bool click = scenario.request != Scenario::Request::Script;
            const bool key = scenario.request == Scenario::Request::KeyClick;
            if (key) {
                ::SetForegroundWindow(hwnd);
                ::SetFocus(hwnd);
                PressKey(options.key, true);
                PumpMessages(60);
                keySeen = ::GetKeyState(options.key) < 0;
            }
            if (click && browser.Document()) {
                browser.Document()->FirstLink().Click();
            }
            browser.FireNewWindow2();
            if (key) {
                PressKey(options.key, false);
                PumpMessages(60);
            }
        });
    }
    WindowLayout layout = PopupWindow(scenario.popupChrome);
    if (scenario.request == Scenario::Request::None) {
        // A window the browser opened on its own, already showing a page.
        layout.pageUrl = "http://ads.example/frame.html";
        layout.pageTitle = "Banner";
    }
    PopupResult result =
        OpenNewWindow(options, std::move(layout), scenario.popupUrl, start, scenario.navigateArgs);
    if (!keySeen) {
        std::printf("NOTE the window's thread did not see the %s key\n", KeyName(options.key));
    }
    return result;
}

void PrintPopup(const Scenario& scenario, const PopupResult& r) {
    if (r.hung) {
        std::printf("POPUP %s %s HUNG\n", scenario.name, scenario.popupUrl);
    } else if (r.blocked) {
        std::printf("POPUP %s %s BLOCKED %.1fms (%s)\n", scenario.name, scenario.popupUrl, r.ms,
                    scenario.whyBlocked);
    } else {
        std::printf("POPUP %s %s LET-THROUGH %.1fms %s (%s)\n", scenario.name, scenario.popupUrl,
                    r.ms, r.state.c_str(), scenario.whyLetThrough);
    }
    std::fflush(stdout);
}

bool TrayProgramRunning() {
    HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, "QuellixMutex");
    if (!mutex) {
        return false;
    }
    ::CloseHandle(mutex);
    return true;
}

std::unique_ptr<BrowserWindowThread> OpenAskingWindow(const Options& options) {
    auto asking = std::make_unique<BrowserWindowThread>(AskingWindow(), options.loadHelpers);
    asking->Run(
        [&options](Browser& browser, HWND) { Navigate(browser, options.page, "News article"); });
    return asking;
}

int PlayScenario(const Options& options, const Scenario& scenario) {
    auto asking = OpenAskingWindow(options);
    std::printf("HOST %s helpers=%zu\n", scenario.name, asking->HelperCount());
    if (std::strcmp(scenario.name, "late-tray") == 0) {
        std::printf("HOST waiting for the tray program\n");
        std::fflush(stdout);
        for (int i = 0; i < 600 && !TrayProgramRunning(); ++i) {
            ::Sleep(100);
        }
    }
    if (std::strcmp(scenario.name, "tray-restart") == 0) {
        PrintPopup(kScenarios[0], PlayPopup(options, kScenarios[0], *asking));
        std::printf("HOST waiting for the tray program to restart\n");
        std::fflush(stdout);
        for (int i = 0; i < 600 && TrayProgramRunning(); ++i) {
            ::Sleep(100);
        }
        for (int i = 0; i < 600 && !TrayProgramRunning(); ++i) {
            ::Sleep(100);
        }
    }
    if (std::strcmp(scenario.name, "orphan-request") == 0 ||
        std::strcmp(scenario.name, "stale-request") == 0) {
        asking->Run([](Browser& browser, HWND) { browser.FireNewWindow2(); });
    }
    PopupResult r;
    if (std::strcmp(scenario.name, "stale-request") == 0) {
        ::Sleep(6000);
        const auto start = Clock::now();
        asking->Run([&](Browser& browser, HWND) {
            Navigate(browser, scenario.popupUrl, "Next page");
            r.blocked = browser.QuitRequested();
        });
        r.ms = Milliseconds(Clock::now() - start);
        r.state = r.blocked ? "" : WindowState(*asking);
    } else {
        r = PlayPopup(options, scenario, *asking);
    }
    PrintPopup(scenario, r);
    std::printf("HOST %s filter=%s\n", scenario.name, asking->OwnFilterInPlace() ? "kept" : "lost");
    asking->Close();
    asking->WaitClosed(10000);
    return r.hung ? 1 : 0;
}

// Ordinary navigations of one window, none of them a candidate.
double TimeNavigations(const Options& options, int count) {
    auto asking = OpenAskingWindow(options);
    std::vector<double> times;
    for (int i = 0; i < count; ++i) {
        const auto start = Clock::now();
        asking->Run([&](Browser& browser, HWND) {
            Navigate(browser, "http://news.example/page" + std::to_string(i) + ".html", "Page");
        });
        times.push_back(Milliseconds(Clock::now() - start));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

int PlayNavigation(const Options& options) {
    const double median = TimeNavigations(options, std::max(1, options.count));
    std::printf("NAVIGATION median=%.2fms n=%d helpers=%d\n", median, options.count,
                options.loadHelpers ? 1 : 0);
    return 0;
}

// Many script pop-ups one after another; the tray program may come and go
// meanwhile. The host must neither crash nor hang.
int PlayStress(const Options& options, bool timing) {
    auto asking = OpenAskingWindow(options);
    int blocked = 0;
    int passed = 0;
    int hung = 0;
    std::vector<double> times;
    for (int i = 0; i < options.count; ++i) {
        const PopupResult r = PlayPopup(options, kScenarios[0], *asking);
        (r.hung ? hung : r.blocked ? blocked : passed)++;
        times.push_back(r.ms);
    }
    std::sort(times.begin(), times.end());
    const double median = times.empty() ? 0 : times[times.size() / 2];
    std::printf("%s n=%d blocked=%d passed=%d hung=%d median=%.2fms helpers=%d\n",
                timing ? "CANDIDATE" : "STRESS", options.count, blocked, passed, hung, median,
                options.loadHelpers ? 1 : 0);
    asking->Close();
    asking->WaitClosed(10000);
    return hung ? 1 : 0;
}

// Several asking windows, each on its own thread, opening pop-ups at the same
// time. Each window's page and pop-ups have addresses of their own, so the
// tray program's history shows whether every pop-up went with its own page.
int PlayConcurrency(const Options& options) {
    std::vector<std::unique_ptr<BrowserWindowThread>> asking;
    for (int w = 0; w < options.windows; ++w) {
        asking.push_back(
            std::make_unique<BrowserWindowThread>(AskingWindow(), options.loadHelpers));
        asking.back()->Run([w](Browser& browser, HWND) {
            Navigate(browser, "http://site" + std::to_string(w) + ".example/article.html",
                     "Site " + std::to_string(w));
        });
    }
    std::atomic<int> blocked{0};
    std::atomic<int> passed{0};
    std::atomic<int> hung{0};
    std::vector<std::vector<double>> times(asking.size());
    std::vector<std::thread> drivers;
    for (size_t w = 0; w < asking.size(); ++w) {
        drivers.emplace_back([&, w] {
            for (int i = 0; i < options.count; ++i) {
                const auto start = Clock::now();
                asking[w]->Run([](Browser& browser, HWND) { browser.FireNewWindow2(); });
                const std::string url =
                    "http://ads.example/w" + std::to_string(w) + "/p" + std::to_string(i) + ".html";
                const PopupResult r = OpenNewWindow(options, PopupWindow(true), url, start);
                (r.hung ? hung : r.blocked ? blocked : passed)++;
                times[w].push_back(r.ms);
            }
        });
    }
    for (auto& d : drivers) {
        d.join();
    }
    std::vector<double> all;
    for (const auto& t : times) {
        all.insert(all.end(), t.begin(), t.end());
    }
    std::sort(all.begin(), all.end());
    auto percentile = [&](double p) {
        return all.empty() ? 0 : all[std::min(all.size() - 1, static_cast<size_t>(p * all.size()))];
    };
    std::printf("CONCURRENCY windows=%d n=%zu blocked=%d passed=%d hung=%d p50=%.1fms p99=%.1fms\n",
                options.windows, all.size(), blocked.load(), passed.load(), hung.load(),
                percentile(0.50), percentile(0.99));
    for (auto& window : asking) {
        window->Close();
        window->WaitClosed(10000);
    }
    return hung ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--no-helpers") {
            options.loadHelpers = false;
        } else if (arg == "--key=shift") {
            options.key = VK_SHIFT;
        } else if (arg == "--key=alt") {
            options.key = VK_MENU;
        } else if (arg == "--key=ctrl") {
            options.key = VK_CONTROL;
        } else if (arg.rfind("--windows=", 0) == 0) {
            options.windows = std::max(1, std::atoi(arg.c_str() + 10));
        } else if (arg.rfind("--page=", 0) == 0) {
            options.page = arg.substr(7);
        } else if (arg.rfind("--count=", 0) == 0) {
            options.count = std::max(1, std::atoi(arg.c_str() + 8));
        } else {
            names.push_back(arg);
        }
    }
    const qlx::ComApartment apartment(COINIT_MULTITHREADED);
    int failures = 0;
    for (const auto& name : names) {
        if (name == "navigation") {
            failures += PlayNavigation(options);
        } else if (name == "concurrency") {
            failures += PlayConcurrency(options);
        } else if (name == "stress" || name == "timing") {
            failures += PlayStress(options, name == "timing");
        } else {
            const Scenario* found = nullptr;
            for (const auto& s : kScenarios) {
                if (name == s.name) {
                    found = &s;
                }
            }
            if (!found) {
                std::fprintf(stderr, "unknown scenario %s\n", name.c_str());
                return 2;
            }
            failures += PlayScenario(options, *found);
        }
    }
    return failures == 0 ? 0 : 1;
}
