#include <gtest/gtest.h>

#include "updater/core/icmp_packet.h"

namespace qlx::updater {
namespace {

std::vector<uint8_t> IpPacket(uint32_t source, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> p = {0x45,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              0,
                              64,
                              1,
                              0,
                              0,
                              static_cast<uint8_t>(source >> 24),
                              static_cast<uint8_t>(source >> 16),
                              static_cast<uint8_t>(source >> 8),
                              static_cast<uint8_t>(source),
                              127,
                              0,
                              0,
                              1};
    p.insert(p.end(), body.begin(), body.end());
    return p;
}

TEST(IcmpPacketTest, EchoRequestCarriesAValidChecksum) {
    const auto request = MakeEchoRequest(0x1234, 7, 32);
    ASSERT_EQ(request.size(), 40u);
    EXPECT_EQ(request[0], kIcmpEchoRequest);
    EXPECT_EQ(InternetChecksum(request.data(), request.size()),
              0); // sums to all ones
    const auto odd = MakeEchoRequest(1, 1, 3);
    EXPECT_EQ(InternetChecksum(odd.data(), odd.size()), 0);
}

TEST(IcmpPacketTest, RepliesAreMatchedToTheirRequest) {
    const uint32_t router = 0x7F000002;
    auto echo = MakeEchoRequest(0x1234, 7, 16);
    echo[0] = kIcmpEchoReply;
    const auto reply = IpPacket(router, echo);
    const IcmpReply ours = ParseIcmpReply(reply.data(), reply.size(), 0x1234, 7);
    EXPECT_EQ(ours.kind, IcmpReply::Kind::EchoReply);
    EXPECT_EQ(ours.responder, router);
    EXPECT_EQ(ParseIcmpReply(reply.data(), reply.size(), 0x1234, 8).kind,
              IcmpReply::Kind::Unrelated);

    // A time-exceeded message quoting our request (IP header + first 8 bytes).
    const auto request = IpPacket(0x7F000001, MakeEchoRequest(0x1234, 7, 16));
    std::vector<uint8_t> exceeded = {kIcmpTimeExceeded, 0, 0, 0, 0, 0, 0, 0};
    exceeded.insert(exceeded.end(), request.begin(), request.begin() + 28);
    const auto message = IpPacket(router, exceeded);
    const IcmpReply quoting = ParseIcmpReply(message.data(), message.size(), 0x1234, 7);
    EXPECT_EQ(quoting.kind, IcmpReply::Kind::Quoting);
    EXPECT_EQ(quoting.type, kIcmpTimeExceeded);
    EXPECT_EQ(ParseIcmpReply(message.data(), message.size(), 0x9999, 7).kind,
              IcmpReply::Kind::Unrelated);

    // Short, cut or foreign packets are never read past their end.
    for (size_t cut = 0; cut < message.size(); ++cut) {
        const IcmpReply r = ParseIcmpReply(message.data(), cut, 0x1234, 7);
        EXPECT_NE(r.kind, IcmpReply::Kind::EchoReply);
    }
}

TEST(IcmpPacketTest, DottedAddressesAndHostNames) {
    EXPECT_EQ(ParseDottedAddress("127.0.0.1"), 0x7F000001u);
    EXPECT_EQ(ParseDottedAddress("255.255.255.255"), 0xFFFFFFFFu);
    for (const char* name :
         {"localhost", "1.2.3", "1.2.3.4.5", "1.2.3.256", "1..3.4", "1.2.3.4 ", "", "0001.2.3.4"}) {
        EXPECT_EQ(ParseDottedAddress(name), std::nullopt) << name;
    }
    EXPECT_EQ(FormatAddress(0x7F000001), "127.0.0.1");
}

} // namespace
} // namespace qlx::updater
