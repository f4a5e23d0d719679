// The update manifest and update.key parsers: any bytes, no crash, no leak,
// and a manifest accepted only under a signature that verifies.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "updater/core/update_manifest.h"
#include "updater/tests/fake_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qlx::updater;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<int> bad;
    std::vector<P256PublicKey> keys = ParseUpdateKeys(text, &bad);
    P256PublicKey key{};
    key[0] = 0x04;
    keys.push_back(key);
    testing::FakeVerifier verifier;
    std::string reason;
    const auto manifest = ReadSignedManifest(text, keys, verifier, &reason);
    if (manifest.has_value() != reason.empty()) {
        __builtin_trap(); // a result and a reason, or neither
    }
    if (manifest) {
        for (const ManifestFile& file : manifest->files) {
            if (!FindManifestFile(*manifest, file.name)) {
                __builtin_trap();
            }
        }
        CheckManifestIdentity(*manifest, "QLX", manifest->version, "1.2.3.4", true);
    }
    return 0;
}
