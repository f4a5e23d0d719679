#include "updater/core/update_manifest.h"

#include <algorithm>
#include <cstring>

#include "common/core/text.h"
#include "updater/core/base64.h"
#include "updater/core/download_plan.h"
#include "updater/core/version_check.h"
#include "updater/core/words.h"

namespace qlx::updater {

namespace {

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return lines;
}

// "Keyword: rest": the keyword as written and the rest trimmed; false when
// there is no ":".
bool SplitKeyword(std::string_view line, std::string_view* keyword, std::string_view* rest) {
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    *keyword = TrimBlanks(line.substr(0, colon));
    *rest = TrimBlanks(line.substr(colon + 1));
    return true;
}

std::optional<uint64_t> Size(std::string_view text) {
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != text.npos) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return value;
}

std::optional<Sha256Digest> Digest(std::string_view hex) {
    Sha256Digest digest{};
    if (hex.size() != 64 || hex.find_first_not_of("0123456789abcdef") != hex.npos) {
        return std::nullopt;
    }
    for (size_t i = 0; i < digest.size(); ++i) {
        const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
        digest[i] = static_cast<uint8_t>(nibble(hex[2 * i]) << 4 | nibble(hex[2 * i + 1]));
    }
    return digest;
}

std::vector<std::string> SplitValues(std::string_view text) {
    std::vector<std::string> values;
    for (;;) {
        const size_t comma = text.find(',');
        values.emplace_back(TrimBlanks(text.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return values;
        }
        text.remove_prefix(comma + 1);
    }
}

std::optional<Manifest> Fail(std::string* reason, std::string why) {
    *reason = std::move(why);
    return std::nullopt;
}

} // namespace

std::vector<P256PublicKey> ParseUpdateKeys(std::string_view text, std::vector<int>* badLines) {
    std::vector<P256PublicKey> keys;
    int number = 0;
    for (std::string_view line : Lines(text)) {
        ++number;
        line = TrimBlanks(line);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const size_t blank = line.find_first_of(" \t");
        const auto point = blank == std::string_view::npos
                               ? std::nullopt
                               : DecodeBase64(TrimBlanks(line.substr(blank)));
        if (line.substr(0, blank) != "ecdsa-p256" || !point || point->size() != 65 ||
            (*point)[0] != 0x04) {
            if (badLines) {
                badLines->push_back(number);
            }
            continue;
        }
        P256PublicKey key;
        std::memcpy(key.data(), point->data(), key.size());
        keys.push_back(key);
    }
    return keys;
}

std::optional<Manifest> ReadSignedManifest(std::string_view text,
                                           const std::vector<P256PublicKey>& keys,
                                           SignatureVerifier& verifier, std::string* reason) {
    // The signature is the last line; only a line end may follow it.
    std::string_view body = text;
    while (body.ends_with('\n') || body.ends_with('\r')) {
        body.remove_suffix(1);
    }
    const size_t lastLine =
        body.find_last_of('\n') == std::string_view::npos ? 0 : body.find_last_of('\n') + 1;
    std::string_view keyword, value;
    if (!SplitKeyword(body.substr(lastLine), &keyword, &value) || keyword != "Signature") {
        return Fail(reason, "no signature");
    }
    const std::string_view signedPart = text.substr(0, lastLine);
    const auto signature = DecodeBase64(value);
    if (!signature || signature->size() != 64) {
        return Fail(reason, "the signature is not 64 bytes of base64");
    }
    const std::optional<Sha256Digest> digest = verifier.Hash(signedPart);
    if (!digest) {
        return Fail(reason, "no SHA-256 from the system");
    }
    P256Signature rs;
    std::memcpy(rs.data(), signature->data(), rs.size());
    if (std::none_of(keys.begin(), keys.end(),
                     [&](const P256PublicKey& key) { return verifier.Verify(key, *digest, rs); })) {
        return Fail(reason, "the signature does not verify with any key of update.key");
    }

    // Signed: now its content must make sense as well.
    Manifest manifest;
    bool product = false, version = false;
    for (std::string_view line : Lines(signedPart)) {
        if (TrimBlanks(line).empty()) {
            continue;
        }
        if (!SplitKeyword(line, &keyword, &value)) {
            return Fail(reason, "a line without keyword");
        }
        if (keyword == "Product" && !product) {
            manifest.product = std::string(value);
            product = true;
        } else if (keyword == "Version" && !version) {
            manifest.version = std::string(value);
            version = true;
        } else if (keyword == "File") {
            const std::vector<std::string> values = SplitValues(value);
            const auto size = values.size() == 3 ? Size(values[1]) : std::nullopt;
            const auto sha = values.size() == 3 ? Digest(values[2]) : std::nullopt;
            if (!size || !sha || !IsSafeFileName(values[0])) {
                return Fail(reason, "a malformed \"File\" line");
            }
            if (FindManifestFile(manifest, values[0])) {
                return Fail(reason, "file " + values[0] + " listed twice");
            }
            manifest.files.push_back({values[0], *size, *sha});
        } else if (keyword == "Product" || keyword == "Version" || keyword == "Signature") {
            return Fail(reason, "a second \"" + std::string(keyword) + "\" line");
        }
        // Other keywords are for later versions of the format.
    }
    if (!product || !version) {
        return Fail(reason, "no product or no version");
    }
    return manifest;
}

std::string CheckManifestIdentity(const Manifest& manifest, std::string_view product,
                                  std::string_view responseVersion,
                                  std::string_view installedVersion, bool mustBeNewer) {
    if (!EqualsNoCase(manifest.product, product)) {
        return "it is for product \"" + manifest.product + "\", not \"" + std::string(product) +
               "\"";
    }
    if (manifest.version != TrimBlanks(responseVersion)) {
        return "its version " + manifest.version + " is not the version " +
               std::string(responseVersion) + " of the server's answer";
    }
    if (mustBeNewer) {
        const auto offered = ParseVersionText(manifest.version);
        const auto installed = ParseVersionText(installedVersion);
        if (!offered || !installed || !(*installed < *offered)) {
            return "its version " + manifest.version + " is not newer than the installed " +
                   std::string(installedVersion);
        }
    }
    return {};
}

const ManifestFile* FindManifestFile(const Manifest& manifest, std::string_view name) {
    for (const ManifestFile& file : manifest.files) {
        if (EqualsNoCase(file.name, name)) {
            return &file;
        }
    }
    return nullptr;
}

std::string HexDigest(const Sha256Digest& digest) {
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t byte : digest) {
        hex += kHex[byte >> 4];
        hex += kHex[byte & 15];
    }
    return hex;
}

} // namespace qlx::updater
