#include "tray/core/punycode.h"

#include <cstdint>
#include <vector>

namespace qlx::tray {

namespace {

// The parameters of the Punycode bootstring for IDNA.
constexpr uint32_t kBase = 36;
constexpr uint32_t kTMin = 1;
constexpr uint32_t kTMax = 26;
constexpr uint32_t kSkew = 38;
constexpr uint32_t kDamp = 700;
constexpr uint32_t kInitialBias = 72;
constexpr uint32_t kInitialN = 128;
constexpr size_t kMaxLabel = 63;

bool DecodeUtf8(std::string_view text, std::vector<uint32_t>& out) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            length = 1;
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + length > text.size()) {
            return false;
        }
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and values beyond Unicode are refused.
        static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        out.push_back(code);
        i += length;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

uint32_t Adapt(uint32_t delta, uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    uint32_t k = 0;
    while (delta > ((kBase - kTMin) * kTMax) / 2) {
        delta /= kBase - kTMin;
        k += kBase;
    }
    return k + (kBase - kTMin + 1) * delta / (delta + kSkew);
}

char Digit(uint32_t d) {
    return static_cast<char>(d < 26 ? 'a' + d : '0' + (d - 26));
}

std::optional<uint32_t> DigitValue(char c) {
    if (c >= 'a' && c <= 'z') {
        return static_cast<uint32_t>(c - 'a');
    }
    if (c >= 'A' && c <= 'Z') {
        return static_cast<uint32_t>(c - 'A');
    }
    if (c >= '0' && c <= '9') {
        return static_cast<uint32_t>(c - '0' + 26);
    }
    return std::nullopt;
}

uint32_t Threshold(uint32_t k, uint32_t bias) {
    return k <= bias ? kTMin : (k >= bias + kTMax ? kTMax : k - bias);
}

std::optional<std::string> EncodeLabel(const std::vector<uint32_t>& input) {
    std::string out;
    for (uint32_t c : input) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        }
    }
    const size_t basic = out.size();
    if (basic == input.size()) {
        return out;
    }
    if (basic > 0) {
        out += '-';
    }
    uint32_t n = kInitialN;
    uint32_t delta = 0;
    uint32_t bias = kInitialBias;
    size_t handled = basic;
    while (handled < input.size()) {
        uint32_t m = UINT32_MAX;
        for (uint32_t c : input) {
            if (c >= n && c < m) {
                m = c;
            }
        }
        // A label is at most 63 characters, so the sums stay far from overflow.
        delta += (m - n) * static_cast<uint32_t>(handled + 1);
        n = m;
        for (uint32_t c : input) {
            if (c < n) {
                ++delta;
            } else if (c == n) {
                uint32_t q = delta;
                for (uint32_t k = kBase;; k += kBase) {
                    const uint32_t t = Threshold(k, bias);
                    if (q < t) {
                        break;
                    }
                    out += Digit(t + (q - t) % (kBase - t));
                    q = (q - t) / (kBase - t);
                }
                out += Digit(q);
                bias = Adapt(delta, static_cast<uint32_t>(handled + 1), handled == basic);
                delta = 0;
                ++handled;
            }
        }
        ++delta;
        ++n;
        if (out.size() > kMaxLabel) {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<std::vector<uint32_t>> DecodeLabel(std::string_view text) {
    std::vector<uint32_t> out;
    const size_t dash = text.rfind('-');
    size_t in = 0;
    if (dash != std::string_view::npos) {
        for (size_t i = 0; i < dash; ++i) {
            if (static_cast<unsigned char>(text[i]) >= 0x80) {
                return std::nullopt;
            }
            out.push_back(static_cast<unsigned char>(text[i]));
        }
        in = dash + 1;
    }
    uint64_t n = kInitialN;
    uint64_t i = 0;
    uint32_t bias = kInitialBias;
    while (in < text.size()) {
        const uint64_t oldi = i;
        uint64_t w = 1;
        for (uint32_t k = kBase;; k += kBase) {
            if (in >= text.size()) {
                return std::nullopt;
            }
            const auto digit = DigitValue(text[in++]);
            if (!digit) {
                return std::nullopt;
            }
            i += *digit * w;
            const uint32_t t = Threshold(k, bias);
            if (*digit < t) {
                break;
            }
            w *= kBase - t;
            if (i > 0x10FFFF * 64ULL || w > 0x10FFFF * 64ULL) {
                return std::nullopt;
            }
        }
        const auto points = static_cast<uint32_t>(out.size() + 1);
        bias = Adapt(static_cast<uint32_t>(i - oldi), points, oldi == 0);
        n += i / points;
        i %= points;
        if (n > 0x10FFFF || (n >= 0xD800 && n <= 0xDFFF) || out.size() >= kMaxLabel) {
            return std::nullopt;
        }
        out.insert(out.begin() + static_cast<std::ptrdiff_t>(i), static_cast<uint32_t>(n));
        ++i;
    }
    return out;
}

uint32_t LowerCode(uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) ||
        (c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F)) {
        return c + 32;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 80;
    }
    if (c == 0x178) { // Y with diaeresis pairs with a Latin-1 letter
        return 0xFF;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Latin Extended-A pairs: even upper, odd lower, except one stretch
        // that runs odd upper, even lower.
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c % 2 == 1) : (c % 2 == 0)) {
            return c + 1;
        }
    }
    return c;
}

} // namespace

namespace {

// Rebuilds a host name label by label: `convert` gives each label's new
// form, or nothing to fail the whole name.
template <typename Convert>
std::optional<std::string> MapLabels(std::string_view host, Convert convert) {
    std::string out;
    size_t start = 0;
    while (true) {
        const size_t dot = host.find('.', start);
        const std::optional<std::string> label = convert(host.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        if (!label) {
            return std::nullopt;
        }
        out += *label;
        if (dot == std::string_view::npos) {
            return out;
        }
        out += '.';
        start = dot + 1;
    }
}

} // namespace

std::optional<std::string> HostToAscii(std::string_view utf8Host) {
    return MapLabels(utf8Host, [](std::string_view label) -> std::optional<std::string> {
        std::vector<uint32_t> codes;
        if (!DecodeUtf8(label, codes)) {
            return std::nullopt;
        }
        const auto encoded = EncodeLabel(codes);
        if (!encoded) {
            return std::nullopt;
        }
        // A label with a code point of more than one byte gets the prefix.
        return label.size() != codes.size() ? "xn--" + *encoded : *encoded;
    });
}

std::string HostToUnicode(std::string_view asciiHost) {
    return *MapLabels(asciiHost, [](std::string_view label) -> std::optional<std::string> {
        std::optional<std::vector<uint32_t>> decoded;
        if (label.size() > 4 && (label.substr(0, 4) == "xn--" || label.substr(0, 4) == "XN--")) {
            decoded = DecodeLabel(label.substr(4));
        }
        if (!decoded) {
            return std::string(label);
        }
        std::string out;
        for (uint32_t c : *decoded) {
            AppendUtf8(out, c);
        }
        return out;
    });
}

std::string LowerUtf8(std::string_view text) {
    std::vector<uint32_t> codes;
    if (!DecodeUtf8(text, codes)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    for (uint32_t c : codes) {
        AppendUtf8(out, LowerCode(c));
    }
    return out;
}

} // namespace qlx::tray
