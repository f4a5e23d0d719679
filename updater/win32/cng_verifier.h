#pragma once
// SHA-256 and ECDSA P-256 signature checks from the system's CNG (bcrypt.dll).
#include <windows.h>
#include <bcrypt.h>

#include "updater/core/signature_verifier.h"

namespace qlx::updater {

class CngVerifier final : public SignatureVerifier {
public:
    CngVerifier();
    ~CngVerifier() override;
    CngVerifier(const CngVerifier&) = delete;
    CngVerifier& operator=(const CngVerifier&) = delete;

    std::unique_ptr<Sha256Stream> NewSha256() override;
    bool Verify(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) override;
    std::optional<Sha256Digest> Hash(std::string_view bytes) override;

private:
    BCRYPT_ALG_HANDLE sha256_ = nullptr;
    BCRYPT_ALG_HANDLE ecdsa_ = nullptr;
};

} // namespace qlx::updater
