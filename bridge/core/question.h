#pragma once
// One question of the extension's service worker: the facts of a window or
// tab that a page has just opened. Every field is required (the click may be
// null) and no other field is accepted: a worker and a bridge that disagree
// on the message say so instead of judging on half the facts.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::bridge {

enum class Browser { Chrome, Edge };

struct Click {
    std::string element;    // tag name of the clicked element, "A" for a link
    bool link = false;      // the click was on a link (or inside one)
    bool newWindow = false; // that link opens a new window or tab
    double ageMs = 0;       // how long before the question the click happened
    bool ctrl = false;
    bool shift = false;
    bool alt = false;
};

struct NewWindowQuestion {
    double id = 0;
    Browser browser = Browser::Chrome;
    std::string openerTitle;
    std::string openerUrl;
    std::string target;
    std::optional<Click> click; // the opener tab's last click not yet used
    bool popupWindow = false;   // a window of type "popup": no toolbar, no menu bar
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct ParsedQuestion {
    std::optional<NewWindowQuestion> question;
    std::optional<double> id; // the id, when one could be read, for the error reply
    std::string error;
};

ParsedQuestion ParseQuestion(std::string_view json);

// The image name that stands for the browser's process in the history.
std::string_view ProcessName(Browser browser);

} // namespace qlx::bridge
