#include "updater/tests/test_support.h"

#include <algorithm>

namespace qlx::updater::testing {

std::vector<std::string> FailedChecks(const UpdateEngine& engine, const RecordingLog& log,
                                      const std::vector<std::string>& checks) {
    std::vector<std::string> failed;
    for (const std::string& check : checks) {
        const size_t colon = check.find(':');
        const std::string kind = check.substr(0, colon);
        const std::string rest = check.substr(colon + 1);
        const size_t eq = rest.find('=');
        const std::string name = rest.substr(0, eq);
        const std::string want = eq == std::string::npos ? "" : rest.substr(eq + 1);
        std::string found;
        bool ok = false;
        if (kind == "opt") {
            for (const std::string& v : engine.Options().Values(name)) {
                found += (found.empty() ? "" : "|") + v;
            }
            ok = engine.Options().Has(name) && found == want;
        } else if (kind == "raw") {
            found = engine.Options().Raw(name);
            ok = found == want;
        } else if (kind == "no") {
            found = engine.Options().Value(name);
            ok = !engine.Options().Has(name);
        } else if (kind == "var") {
            auto it = engine.Variables().find(name);
            found = it == engine.Variables().end() ? "(none)" : it->second;
            ok = it != engine.Variables().end() && found == want;
        } else if (kind == "log") {
            ok = log.Has(rest);
            for (const std::string& line : log.lines) {
                found += "\n  " + line;
            }
        }
        if (!ok) {
            failed.push_back(check + " -- found: " + found);
        }
    }
    return failed;
}

P256PublicKey TestKey(uint8_t seed) {
    P256PublicKey key{};
    key[0] = 0x04;
    for (size_t i = 1; i < key.size(); ++i) {
        key[i] = static_cast<uint8_t>(seed * 31 + i);
    }
    return key;
}

std::string EncodeBase64(std::string_view bytes) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - at);
        uint32_t group = 0;
        for (size_t i = 0; i < 3; ++i) {
            group = group << 8 | (i < n ? static_cast<uint8_t>(bytes[at + i]) : 0);
        }
        for (size_t i = 0; i < 4; ++i) {
            text += i <= n ? kAlphabet[group >> (18 - 6 * i) & 63] : '=';
        }
    }
    return text;
}

std::string KeyLine(const P256PublicKey& key) {
    return "ecdsa-p256 " +
           EncodeBase64(std::string_view(reinterpret_cast<const char*>(key.data()), key.size()));
}

std::string Signed(const std::string& body, const P256PublicKey& key) {
    const P256Signature signature = FakeVerifier::Sign(key, FakeVerifier::Digest(body));
    return body + "Signature: " +
           EncodeBase64(std::string_view(reinterpret_cast<const char*>(signature.data()),
                                         signature.size())) +
           "\r\n";
}

std::string ManifestBody(const std::string& product, const std::string& version,
                         const std::vector<std::pair<std::string, std::string>>& files) {
    std::string body = "Product: " + product + "\r\nVersion: " + version + "\r\n";
    for (const auto& [name, content] : files) {
        body += "File: " + name + ", " + std::to_string(content.size()) + ", " +
                HexDigest(FakeVerifier::Digest(content)) + "\r\n";
    }
    return body;
}

} // namespace qlx::updater::testing
