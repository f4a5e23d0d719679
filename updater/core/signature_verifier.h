#pragma once
// The cryptography an update's trust chain needs, behind a small seam: the
// Win32 shell takes it from the platform (CNG), the unit tests from a fake.
// Nothing here computes a hash or checks a signature by itself.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

namespace qlx::updater {

using Sha256Digest = std::array<uint8_t, 32>;
// An uncompressed P-256 point: 0x04, then X and Y.
using P256PublicKey = std::array<uint8_t, 65>;
// r and s, 32 bytes each.
using P256Signature = std::array<uint8_t, 64>;

class Sha256Stream {
public:
    virtual ~Sha256Stream() = default;
    virtual void Add(std::string_view bytes) = 0;
    virtual Sha256Digest Finish() = 0;
};

class SignatureVerifier {
public:
    virtual ~SignatureVerifier() = default;
    // Null when the system cannot hash.
    virtual std::unique_ptr<Sha256Stream> NewSha256() = 0;
    // The digest of a whole text in one call; nothing when the system
    // cannot hash.
    virtual std::optional<Sha256Digest> Hash(std::string_view bytes) = 0;
    // Whether `signature` is an ECDSA P-256 signature of `digest` by `key`.
    virtual bool Verify(const P256PublicKey& key, const Sha256Digest& digest,
                        const P256Signature& signature) = 0;
};

} // namespace qlx::updater
