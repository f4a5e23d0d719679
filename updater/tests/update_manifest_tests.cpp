// The trust chain's rules over the fake verifier: keys of "update.key",
// base64, the signed manifest and its identity.
#include <gtest/gtest.h>

#include "updater/core/base64.h"
#include "updater/core/update_manifest.h"
#include "updater/tests/test_support.h"

namespace qlx::updater::testing {
namespace {

TEST(Base64, CanonicalTextOnly) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"", ""},         {"QQ==", "A"},
        {"QUI=", "AB"},   {"QUJD", "ABC"},
        {"QR==", {}},     {"QUJ=", {}},
        {"QQ=", {}},      {"Q===", {}},
        {"QQ=A", {}},     {"QU JD", {}},
        {"QUJD\n", {}},   {"=QUJ", {}},
        {"QQ==QUJD", {}}, {"+/+/", "\xfb\xff\xbf"},
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(DecodeBase64(text), bytes) << text;
    }
    const std::string all = "\x00\x01\xfe\xff quellix";
    EXPECT_EQ(DecodeBase64(EncodeBase64(all)), all);
}

TEST(UpdateKeys, OneKeyPerLineCommentsAndBadLinesSkipped) {
    const std::string one = KeyLine(TestKey(1));
    const std::string two = KeyLine(TestKey(2));
    P256PublicKey compressed = TestKey(3);
    compressed[0] = 0x02;
    const struct {
        std::string text;
        size_t keys;
        std::vector<int> bad;
    } cases[] = {
        {"", 0, {}},
        {"# only a comment\r\n\r\n   \r\n", 0, {}},
        {one, 1, {}},
        {"# rotation: the old key and the new one\r\n" + one + "\r\n  " + two + "  \r\n", 2, {}},
        {"rsa " + one.substr(11) + "\n" + one + "\n", 1, {1}},
        {"ecdsa-p256\necdsa-p256 AAAA\necdsa-p256 !!!!\n" + one, 1, {1, 2, 3}},
        {KeyLine(compressed), 0, {1}},
    };
    for (const auto& c : cases) {
        std::vector<int> bad;
        EXPECT_EQ(ParseUpdateKeys(c.text, &bad).size(), c.keys) << c.text;
        EXPECT_EQ(bad, c.bad) << c.text;
    }
    EXPECT_EQ(ParseUpdateKeys(one, nullptr).front(), TestKey(1));
}

TEST(SignedManifest, SignatureThenContent) {
    const std::string body =
        ManifestBody("QLX", "1.2.4.0", {{"a.dll", "AAAA"}, {"update.script", "s"}});
    const std::string good = Signed(body, TestKey(1));
    std::string flipped = good;
    flipped[body.find("1.2.4.0") + 6] = '1';
    const struct {
        std::string name;
        std::string text;
        std::vector<P256PublicKey> keys;
        std::string reason; // empty: accepted
    } cases[] = {
        {"good", good, {TestKey(1)}, ""},
        {"any key of several", good, {TestKey(2), TestKey(1)}, ""},
        {"LF line ends and no final line end",
         [] {
             std::string text = Signed("Product: QLX\nVersion: 1.2.4.0\n", TestKey(1));
             return text.erase(text.size() - 2);
         }(),
         {TestKey(1)},
         ""},
        {"no signature", body, {TestKey(1)}, "no signature"},
        {"signed by another key",
         good,
         {TestKey(2)},
         "the signature does not verify with any key of update.key"},
        {"no key at all", good, {}, "the signature does not verify with any key of update.key"},
        {"altered after signing",
         flipped,
         {TestKey(1)},
         "the signature does not verify with any key of update.key"},
        {"a line after the signature",
         good + "File: x, 1, " + std::string(64, '0') + "\r\n",
         {TestKey(1)},
         "no signature"},
        {"a short signature",
         body + "Signature: QUJD\r\n",
         {TestKey(1)},
         "the signature is not 64 bytes of base64"},
        {"a file that leaves the folder",
         Signed(body + "File: ..\\x.dll, 1, " + std::string(64, 'a') + "\r\n", TestKey(1)),
         {TestKey(1)},
         "a malformed \"File\" line"},
        {"upper-case digest",
         Signed(body + "File: b.dll, 1, " + std::string(64, 'A') + "\r\n", TestKey(1)),
         {TestKey(1)},
         "a malformed \"File\" line"},
        {"a size that is no number",
         Signed(body + "File: b.dll, -1, " + std::string(64, 'a') + "\r\n", TestKey(1)),
         {TestKey(1)},
         "a malformed \"File\" line"},
        {"a file twice",
         Signed(body + "File: A.DLL, 4, " + std::string(64, 'a') + "\r\n", TestKey(1)),
         {TestKey(1)},
         "file A.DLL listed twice"},
        {"no version",
         Signed("Product: QLX\r\n", TestKey(1)),
         {TestKey(1)},
         "no product or no version"},
        {"two versions",
         Signed(body + "Version: 9.9.9.9\r\n", TestKey(1)),
         {TestKey(1)},
         "a second \"Version\" line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeVerifier verifier;
        std::string reason;
        const auto manifest = ReadSignedManifest(c.text, c.keys, verifier, &reason);
        EXPECT_EQ(manifest.has_value(), c.reason.empty());
        EXPECT_EQ(reason, c.reason);
    }
    FakeVerifier verifier;
    std::string reason;
    const auto manifest = ReadSignedManifest(good, {TestKey(1)}, verifier, &reason);
    ASSERT_TRUE(manifest);
    EXPECT_EQ(manifest->product, "QLX");
    EXPECT_EQ(manifest->version, "1.2.4.0");
    ASSERT_EQ(manifest->files.size(), 2u);
    const ManifestFile* a = FindManifestFile(*manifest, "A.dll");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size, 4u);
    EXPECT_EQ(HexDigest(a->sha256), HexDigest(FakeVerifier::Digest("AAAA")));
    EXPECT_EQ(FindManifestFile(*manifest, "b.dll"), nullptr);
}

TEST(SignedManifest, IdentityAgainstTheSession) {
    const Manifest m{"QLX", "1.2.4.0", {}};
    const struct {
        std::string product, response, installed;
        bool newer;
        std::string reason;
    } cases[] = {
        {"QLX", "1.2.4.0", "1.2.3.4", true, ""},
        {"qlx", " 1.2.4.0 ", "7.1.2.3.9", true, ""},
        {"QLX", "1.2.4.0", "1.2.4.0", false, ""},
        {"QLY", "1.2.4.0", "1.2.3.4", true, "it is for product \"QLX\", not \"QLY\""},
        {"", "1.2.4.0", "1.2.3.4", true, "it is for product \"QLX\", not \"\""},
        {"QLX", "1.2.5.0", "1.2.3.4", true,
         "its version 1.2.4.0 is not the version 1.2.5.0 of the server's answer"},
        {"QLX", "1.2.4.0", "1.2.4.0", true,
         "its version 1.2.4.0 is not newer than the installed 1.2.4.0"},
        {"QLX", "1.2.4.0", "1.3.0.0", true,
         "its version 1.2.4.0 is not newer than the installed 1.3.0.0"},
        {"QLX", "1.2.4.0", "junk", true,
         "its version 1.2.4.0 is not newer than the installed junk"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckManifestIdentity(m, c.product, c.response, c.installed, c.newer), c.reason)
            << c.product << " " << c.response << " " << c.installed;
    }
}

} // namespace
} // namespace qlx::updater::testing
