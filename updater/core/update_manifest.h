#pragma once
// The trust chain of an update set. "update.key" beside the updater lists
// the public keys that may sign a set; the set's "update.manifest" names
// the product, the version and every file with its size and SHA-256, and
// ends with a signature over everything before that last line.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/signature_verifier.h"

namespace qlx::updater {

inline constexpr const char* kUpdateKeyFile = "update.key";
inline constexpr const char* kManifestFile = "update.manifest";
// A manifest is a short text; a larger download is refused unread.
inline constexpr uint64_t kMaxManifestBytes = 256 * 1024;

// One key per line, "ecdsa-p256 <base64 of the 65-byte point>"; blank lines
// and lines starting with "#" are skipped. A line that is no such key is
// skipped too, and its number (from 1) is added to `badLines`.
std::vector<P256PublicKey> ParseUpdateKeys(std::string_view text, std::vector<int>* badLines);

struct ManifestFile {
    std::string name;
    uint64_t size = 0;
    Sha256Digest sha256{};
};

struct Manifest {
    std::string product;
    std::string version;
    std::vector<ManifestFile> files;
};

// Parses `text` and checks its signature against `keys`. Nothing, with the
// reason in `*reason`, when the text is malformed, unsigned, or signed by
// none of the keys.
std::optional<Manifest> ReadSignedManifest(std::string_view text,
                                           const std::vector<P256PublicKey>& keys,
                                           SignatureVerifier& verifier, std::string* reason);

// The manifest's identity against the session: the product abbreviation,
// the version of the server's answer and, for an update (`mustBeNewer`),
// the installed version it must be newer than. Empty when it holds, else
// the reason.
std::string CheckManifestIdentity(const Manifest& manifest, std::string_view product,
                                  std::string_view responseVersion,
                                  std::string_view installedVersion, bool mustBeNewer);

// The manifest's entry for a file name (compared without regard to case,
// as the file system does), or null.
const ManifestFile* FindManifestFile(const Manifest& manifest, std::string_view name);

// 64 lower-case hex digits.
std::string HexDigest(const Sha256Digest& digest);

} // namespace qlx::updater
