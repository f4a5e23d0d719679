#pragma once
// ICMP echo requests and the replies a raw socket hands back (IPv4 header
// included), for the network report. Addresses are host-order 32-bit
// numbers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::updater {

inline constexpr uint8_t kIcmpEchoReply = 0;
inline constexpr uint8_t kIcmpEchoRequest = 8;
inline constexpr uint8_t kIcmpTimeExceeded = 11;

// The one's-complement sum of RFC 1071.
uint16_t InternetChecksum(const uint8_t* data, size_t size);

// An echo request with its checksum, `payload` bytes of pattern after the
// 8-byte header.
std::vector<uint8_t> MakeEchoRequest(uint16_t identifier, uint16_t sequence, size_t payload);

struct IcmpReply {
    enum class Kind {
        EchoReply, // the answer to this request
        Quoting,   // another message (time exceeded, unreachable) about this request
        Unrelated, // someone else's packet, or too short to tell
    };
    Kind kind = Kind::Unrelated;
    uint8_t type = 0;
    uint8_t code = 0;
    uint32_t responder = 0; // source address of the reply
};

// Reads an IPv4 packet as received on a raw ICMP socket and tells whether
// it answers the echo request with `identifier` and `sequence`.
IcmpReply ParseIcmpReply(const uint8_t* packet, size_t size, uint16_t identifier,
                         uint16_t sequence);

// "a.b.c.d" with four decimal parts of 0 to 255; anything else is a host
// name to be looked up.
std::optional<uint32_t> ParseDottedAddress(std::string_view text);
std::string FormatAddress(uint32_t address);

} // namespace qlx::updater
