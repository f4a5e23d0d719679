#include "updater/win32/cng_verifier.h"

#include <cstring>
#include <vector>

namespace qlx::updater {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

class CngSha256 final : public Sha256Stream {
public:
    explicit CngSha256(BCRYPT_HASH_HANDLE hash) : hash_(hash) {}
    ~CngSha256() override { ::BCryptDestroyHash(hash_); }
    CngSha256(const CngSha256&) = delete;
    CngSha256& operator=(const CngSha256&) = delete;

    void Add(std::string_view bytes) override {
        // A failure leaves a digest that matches nothing.
        ok_ = ok_ && Succeeded(::BCryptHashData(
                         hash_, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                         static_cast<ULONG>(bytes.size()), 0));
    }
    Sha256Digest Finish() override {
        Sha256Digest digest{};
        if (!ok_ || !Succeeded(::BCryptFinishHash(hash_, digest.data(),
                                                  static_cast<ULONG>(digest.size()), 0))) {
            digest.fill(0);
            digest[0] = 1; // no real SHA-256 is this
        }
        return digest;
    }

private:
    BCRYPT_HASH_HANDLE hash_;
    bool ok_ = true;
};

} // namespace

CngVerifier::CngVerifier() {
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&sha256_, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        sha256_ = nullptr;
    }
    if (!Succeeded(
            ::BCryptOpenAlgorithmProvider(&ecdsa_, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        ecdsa_ = nullptr;
    }
}

CngVerifier::~CngVerifier() {
    if (sha256_) {
        ::BCryptCloseAlgorithmProvider(sha256_, 0);
    }
    if (ecdsa_) {
        ::BCryptCloseAlgorithmProvider(ecdsa_, 0);
    }
}

std::unique_ptr<Sha256Stream> CngVerifier::NewSha256() {
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!sha256_ || !Succeeded(::BCryptCreateHash(sha256_, &hash, nullptr, 0, nullptr, 0, 0))) {
        return nullptr;
    }
    return std::make_unique<CngSha256>(hash);
}

std::optional<Sha256Digest> CngVerifier::Hash(std::string_view bytes) {
    // BCryptHash would do it in one call, but only from Windows 10 on; the
    // hash object works on every system the product supports.
    auto hash = NewSha256();
    if (!hash) {
        return std::nullopt;
    }
    hash->Add(bytes);
    return hash->Finish();
}

bool CngVerifier::Verify(const P256PublicKey& key, const Sha256Digest& digest,
                         const P256Signature& signature) {
    if (!ecdsa_ || key[0] != 0x04) {
        return false;
    }
    // The public blob: its header, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data() + 1, 64);
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptImportKeyPair(ecdsa_, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle,
                                         blob.data(), static_cast<ULONG>(blob.size()), 0))) {
        return false;
    }
    Sha256Digest hash = digest;
    P256Signature rs = signature;
    const NTSTATUS status =
        ::BCryptVerifySignature(handle, nullptr, hash.data(), static_cast<ULONG>(hash.size()),
                                rs.data(), static_cast<ULONG>(rs.size()), 0);
    ::BCryptDestroyKey(handle);
    return status == 0;
}

} // namespace qlx::updater
