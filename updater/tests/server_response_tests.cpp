#include <gtest/gtest.h>

#include "updater/core/crc32.h"
#include "updater/core/server_response.h"

namespace qlx::updater {
namespace {

TEST(ServerResponseTest, LinesKeywordsAndValues) {
    const ServerResponse r =
        ParseServerResponse("ReturnCode: 0\r\n\r\nFile: a.exe, 1200, 3735928559, "
                            "http://127.0.0.1/a.exe\n\r"
                            " expire :30\nText: Done: restart, please\rNoColon\r\n");
    ASSERT_EQ(r.size(), 5u);
    EXPECT_EQ(r[0].keyword, "ReturnCode");
    EXPECT_EQ(r[0].values, std::vector<std::string>{"0"});
    EXPECT_EQ(r[1].values,
              (std::vector<std::string>{"a.exe", "1200", "3735928559", "http://127.0.0.1/a.exe"}));
    EXPECT_EQ(r[2].keyword, "expire");
    EXPECT_EQ(r[3].text, "Done: restart, please");
    EXPECT_EQ(r[4].keyword, "NoColon");
    EXPECT_TRUE(r[4].values.empty());
    EXPECT_EQ(FirstValue(r, "EXPIRE"), "30");
    EXPECT_EQ(FirstValue(r, "Language"), std::nullopt);

    // Only the first 65,535 bytes count; a zero byte ends the text.
    const std::string big = "A: 1\n" + std::string(kMaxResponseBytes, 'x') + "\nB: 2\n";
    EXPECT_EQ(FindRecord(ParseServerResponse(big), "B"), nullptr);
    EXPECT_EQ(ParseServerResponse(std::string("A: 1\n\0B: 2\n", 11)).size(), 1u);
    EXPECT_TRUE(ParseServerResponse("").empty());
}

TEST(ServerResponseTest, CheckAnswers) {
    const struct {
        const char* body;
        int32_t code;
    } cases[] = {
        {"ReturnCode: 0", 25}, {"ReturnCode:  1 ", 24},
        {"returncode: 7", 7},  {"ReturnCode: -3", -3},
        {"Other: 0", -11},     {"ReturnCode: 0\nReturnCode: 1", 25},
        {"ReturnCode: 01", 1}, {"ReturnCode: 99999999999", 2147483647},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EvaluateCheckResponse(ParseServerResponse(c.body)), c.code) << c.body;
    }
}

TEST(ServerResponseTest, UpdateRounds) {
    const std::string files = "File: a.dll, 100, 1, http://127.0.0.1/a\n"
                              "File: b.dat, 50, -1, http://127.0.0.1/b\n";
    {
        const UpdateRound round = ReadUpdateRound(
            ParseServerResponse("ReturnCode: 0\nProductVersion: 1.2.3.4\nProductName: Q\n"
                                "ProductVersion: 9.9.9.9\nAbbr: QX\nExpire: 60\nExpire: 5\n" +
                                files + "File: bad, x, 1, http://127.0.0.1/c\n"),
            true);
        EXPECT_TRUE(round.proceed);
        EXPECT_EQ(round.offer.returnCode, 21);
        EXPECT_EQ(round.offer.productVersion, "1.2.3.4"); // the first one counts
        EXPECT_EQ(round.offer.productName, "Q");
        EXPECT_EQ(round.offer.abbreviation, "QX");
        EXPECT_EQ(round.offer.expireSeconds, 60u);
        ASSERT_EQ(round.offer.files.size(), 2u);
        EXPECT_EQ(round.offer.files[1],
                  (DownloadFile{"b.dat", 50, 0xFFFFFFFFu, "http://127.0.0.1/b"}));
        EXPECT_EQ(round.offer.totalSize, 150u);
        EXPECT_EQ(round.offer.log.size(),
                  2u); // the second "Expire", the malformed file
    }
    const struct {
        std::string body;
        bool firstRound;
        int32_t code;
        bool proceed;
        const char* lastLog;
    } cases[] = {
        {"ReturnCode: 1\n" + files, true, 24, false, nullptr},
        {files, true, -11, false, nullptr},
        {"ReturnCode: 5\n" + files, true, 5, false, nullptr},
        {"ReturnCode: 0\nProductVersion: 1.2.3.4\n", true, 21, false,
         "Strange situation: nothing to download. Exiting."},
        {"ReturnCode: 0\n" + files, true, 21, false,
         "Strange situation: version is empty. Exiting."},
        {"ReturnCode: 0\n" + files, false, 21, true, nullptr}, // a later round keeps the version
    };
    for (const auto& c : cases) {
        const UpdateRound round = ReadUpdateRound(ParseServerResponse(c.body), c.firstRound);
        EXPECT_EQ(round.offer.returnCode, c.code) << c.body;
        EXPECT_EQ(round.proceed, c.proceed) << c.body;
        if (c.lastLog) {
            ASSERT_FALSE(round.offer.log.empty()) << c.body;
            EXPECT_EQ(round.offer.log.back(), c.lastLog);
        }
    }
    EXPECT_EQ(TotalDownloadSize(ParseServerResponse("ReturnCode: 1\n" + files)), 150u);
}

TEST(ServerResponseTest, FileSizesThatAddUpPast64BitsAreBadInput) {
    const std::string max = "18446744073709551615";
    const auto file = [](const std::string& size) {
        return "File: f" + size + ", " + size + ", 1, http://127.0.0.1/f\n";
    };
    const struct {
        std::string files;
        std::optional<uint64_t> total;
    } cases[] = {
        {file(max), UINT64_MAX},
        {file(max) + file("0"), UINT64_MAX},
        {file("18446744073709551614") + file("1"), UINT64_MAX},
        {file(max) + file("1"), std::nullopt},
        {file("9223372036854775808") + file("9223372036854775808"), std::nullopt},
        {file("18446744073709551616"), 0}, // not a size: the line is malformed
    };
    for (const auto& c : cases) {
        const std::string body = "ReturnCode: 0\nProductVersion: 1.2.3.4\n" + c.files;
        EXPECT_EQ(TotalDownloadSize(ParseServerResponse(body)), c.total) << c.files;
        const UpdateRound round = ReadUpdateRound(ParseServerResponse(body), true);
        if (c.total) {
            EXPECT_EQ(round.offer.totalSize, *c.total) << c.files;
        } else {
            EXPECT_EQ(round.offer.returnCode, -18) << c.files;
            EXPECT_FALSE(round.proceed);
            ASSERT_FALSE(round.offer.log.empty());
            EXPECT_EQ(round.offer.log.back(), kSizesOverflow);
        }
    }
}

TEST(Crc32Test, KnownValuesAndPiecewiseContinuation) {
    EXPECT_EQ(Crc32(""), 0u);
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(Crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
    // Every length and alignment around the block sizes agrees with the
    // byte-at-a-time definition, in one piece and in two.
    std::string data(600, '\0');
    uint32_t seed = 1;
    for (char& c : data) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    const auto reference = [](std::string_view s) {
        uint32_t crc = 0xFFFFFFFFu;
        for (unsigned char b : s) {
            crc ^= b;
            for (int k = 0; k < 8; ++k) {
                crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
            }
        }
        return ~crc;
    };
    for (size_t offset : {0, 1, 7}) {
        for (size_t length = 0; length + offset <= data.size(); length += 13) {
            const std::string_view piece(data.data() + offset, length);
            const uint32_t whole = Crc32(piece);
            ASSERT_EQ(whole, reference(piece)) << offset << "+" << length;
            const size_t half = length / 2;
            EXPECT_EQ(Crc32(Crc32(piece.substr(0, half)), piece.data() + half, length - half),
                      whole);
        }
    }
}

} // namespace
} // namespace qlx::updater
