#include "updater/core/icmp_packet.h"

#include <charconv>

namespace qlx::updater {

namespace {

uint16_t Load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t Load32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr size_t kIcmpHeader = 8;

// The IPv4 header's length, or 0 when `size` bytes cannot hold the header
// and `extra` bytes after it.
size_t IpHeaderLength(const uint8_t* packet, size_t size, size_t extra) {
    if (size < 20 || (packet[0] >> 4) != 4) {
        return 0;
    }
    const size_t length = static_cast<size_t>(packet[0] & 0x0F) * 4;
    return length >= 20 && size >= length + extra ? length : 0;
}

} // namespace

uint16_t InternetChecksum(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) {
        sum += Load16(data + i);
    }
    if (size % 2 != 0) {
        sum += static_cast<uint32_t>(data[size - 1]) << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return static_cast<uint16_t>(~sum);
}

std::vector<uint8_t> MakeEchoRequest(uint16_t identifier, uint16_t sequence, size_t payload) {
    std::vector<uint8_t> packet(kIcmpHeader + payload, 0);
    packet[0] = kIcmpEchoRequest;
    packet[4] = static_cast<uint8_t>(identifier >> 8);
    packet[5] = static_cast<uint8_t>(identifier);
    packet[6] = static_cast<uint8_t>(sequence >> 8);
    packet[7] = static_cast<uint8_t>(sequence);
    for (size_t i = 0; i < payload; ++i) {
        packet[kIcmpHeader + i] = static_cast<uint8_t>('a' + i % 26);
    }
    const uint16_t sum = InternetChecksum(packet.data(), packet.size());
    packet[2] = static_cast<uint8_t>(sum >> 8);
    packet[3] = static_cast<uint8_t>(sum);
    return packet;
}

IcmpReply ParseIcmpReply(const uint8_t* packet, size_t size, uint16_t identifier,
                         uint16_t sequence) {
    IcmpReply reply;
    const size_t ip = IpHeaderLength(packet, size, kIcmpHeader);
    if (ip == 0 || packet[9] != 1) { // protocol 1: ICMP
        return reply;
    }
    const uint8_t* icmp = packet + ip;
    reply.type = icmp[0];
    reply.code = icmp[1];
    reply.responder = Load32(packet + 12);
    const auto isOurs = [&](const uint8_t* echo) {
        return Load16(echo + 4) == identifier && Load16(echo + 6) == sequence;
    };
    if (reply.type == kIcmpEchoReply) {
        reply.kind = isOurs(icmp) ? IcmpReply::Kind::EchoReply : IcmpReply::Kind::Unrelated;
        return reply;
    }
    // An error message quotes the IP header and the first 8 bytes of the
    // datagram that caused it: our echo request.
    const uint8_t* quoted = icmp + kIcmpHeader;
    const size_t quotedSize = size - ip - kIcmpHeader;
    const size_t quotedIp = IpHeaderLength(quoted, quotedSize, kIcmpHeader);
    if (quotedIp != 0 && quoted[9] == 1 && quoted[quotedIp] == kIcmpEchoRequest &&
        isOurs(quoted + quotedIp)) {
        reply.kind = IcmpReply::Kind::Quoting;
    }
    return reply;
}

std::optional<uint32_t> ParseDottedAddress(std::string_view text) {
    uint32_t address = 0;
    for (int part = 0; part < 4; ++part) {
        const size_t dot = text.find('.');
        if ((part < 3) == (dot == std::string_view::npos)) {
            return std::nullopt;
        }
        const std::string_view digits = text.substr(0, dot);
        unsigned value = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || digits.size() > 3 || ec != std::errc() ||
            end != digits.data() + digits.size() || value > 255) {
            return std::nullopt;
        }
        address = address << 8 | value;
        text.remove_prefix(part < 3 ? dot + 1 : text.size());
    }
    return address;
}

std::string FormatAddress(uint32_t address) {
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

} // namespace qlx::updater
