#include "bridge/core/question.h"

#include <cmath>
#include <initializer_list>

#include "bridge/core/json.h"

namespace qlx::bridge {

namespace {

// A message id is what the worker counts with: a whole number it can match.
constexpr double kMaxId = 9007199254740991.0; // 2^53 - 1

class Fields {
public:
    Fields(const JsonObject& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    // Only these names are allowed, and every one of them must be present.
    bool Exactly(std::initializer_list<std::string_view> names) {
        for (const auto& [name, value] : object_) {
            bool known = false;
            for (auto n : names) {
                known = known || n == name;
            }
            if (!known) {
                return Fail("unknown field " + Path(name));
            }
        }
        for (auto n : names) {
            if (object_.find(n) == object_.end()) {
                return Fail("missing field " + Path(n));
            }
        }
        return true;
    }

    const JsonValue& operator[](std::string_view name) const { return object_.find(name)->second; }

    bool Text(std::string_view name, std::string& out) {
        const std::string* s = (*this)[name].String();
        if (!s) {
            return Fail(Path(name) + " must be a string");
        }
        out = *s;
        return true;
    }

    bool Flag(std::string_view name, bool& out) {
        const bool* b = (*this)[name].Bool();
        if (!b) {
            return Fail(Path(name) + " must be true or false");
        }
        out = *b;
        return true;
    }

    bool Whole(std::string_view name, double low, double high, double& out) {
        const double* n = (*this)[name].Number();
        if (!n || std::floor(*n) != *n || *n < low || *n > high) {
            return Fail(Path(name) + " must be a whole number from " + Number(low) + " to " +
                        Number(high));
        }
        out = *n;
        return true;
    }

    bool Int32(std::string_view name, int32_t& out) {
        double value = 0;
        if (!Whole(name, -2147483648.0, 2147483647.0, value)) {
            return false;
        }
        out = static_cast<int32_t>(value);
        return true;
    }

    // A name as the error shows it: a long one is cut, at a character's start.
    std::string Path(std::string_view name) const {
        constexpr size_t kShown = 64;
        std::string shown(name.substr(0, kShown));
        if (name.size() > kShown) {
            while (!shown.empty() &&
                   (static_cast<unsigned char>(name[shown.size()]) & 0xC0) == 0x80) {
                shown.pop_back();
            }
            shown += "...";
        }
        return path_.empty() ? shown : path_ + "." + shown;
    }

    bool Fail(std::string what) {
        error_ = std::move(what);
        return false;
    }

private:
    static std::string Number(double v) { return std::to_string(static_cast<long long>(v)); }

    const JsonObject& object_;
    std::string path_;
    std::string& error_;
};

bool ReadClick(const JsonValue& value, std::optional<Click>& out, std::string& error) {
    if (value.IsNull()) {
        out.reset();
        return true;
    }
    const JsonObject* object = value.Object();
    if (!object) {
        error = "click must be an object or null";
        return false;
    }
    Fields f(*object, "click", error);
    Click click;
    if (!f.Exactly({"element", "link", "newWindow", "ageMs", "ctrl", "shift", "alt"}) ||
        !f.Text("element", click.element) || !f.Flag("link", click.link) ||
        !f.Flag("newWindow", click.newWindow) || !f.Whole("ageMs", 0, 86400000.0, click.ageMs) ||
        !f.Flag("ctrl", click.ctrl) || !f.Flag("shift", click.shift) || !f.Flag("alt", click.alt)) {
        return false;
    }
    out = std::move(click);
    return true;
}

} // namespace

ParsedQuestion ParseQuestion(std::string_view json) {
    ParsedQuestion parsed;
    std::string jsonError;
    const auto document = ParseJson(json, jsonError);
    if (!document) {
        parsed.error = "invalid JSON: " + jsonError;
        return parsed;
    }
    const JsonObject* root = document->Object();
    if (!root) {
        parsed.error = "the message must be an object";
        return parsed;
    }
    if (auto id = root->find("id"); id != root->end()) {
        if (const double* n = id->second.Number();
            n && std::floor(*n) == *n && *n >= 0 && *n <= kMaxId) {
            parsed.id = *n;
        }
    }

    NewWindowQuestion q;
    std::string& error = parsed.error;
    Fields f(*root, "", error);
    std::string browser;
    if (!f.Exactly({"id", "browser", "opener", "target", "click", "window"}) ||
        !f.Whole("id", 0, kMaxId, q.id) || !f.Text("browser", browser) ||
        !f.Text("target", q.target)) {
        return parsed;
    }
    if (browser == "chrome") {
        q.browser = Browser::Chrome;
    } else if (browser == "edge") {
        q.browser = Browser::Edge;
    } else {
        error = "browser must be \"chrome\" or \"edge\"";
        return parsed;
    }

    const JsonObject* opener = f["opener"].Object();
    if (!opener) {
        error = "opener must be an object";
        return parsed;
    }
    Fields o(*opener, "opener", error);
    if (!o.Exactly({"title", "url"}) || !o.Text("title", q.openerTitle) ||
        !o.Text("url", q.openerUrl)) {
        return parsed;
    }

    if (!ReadClick(f["click"], q.click, error)) {
        return parsed;
    }

    const JsonObject* window = f["window"].Object();
    if (!window) {
        error = "window must be an object";
        return parsed;
    }
    Fields w(*window, "window", error);
    std::string type;
    if (!w.Exactly({"type", "left", "top", "width", "height"}) || !w.Text("type", type) ||
        !w.Int32("left", q.left) || !w.Int32("top", q.top) || !w.Int32("width", q.width) ||
        !w.Int32("height", q.height)) {
        return parsed;
    }
    if (type == "popup") {
        q.popupWindow = true;
    } else if (type != "normal") {
        error = "window.type must be \"normal\" or \"popup\"";
        return parsed;
    }
    parsed.question = std::move(q);
    return parsed;
}

std::string_view ProcessName(Browser browser) {
    return browser == Browser::Edge ? "msedge.exe" : "chrome.exe";
}

} // namespace qlx::bridge
