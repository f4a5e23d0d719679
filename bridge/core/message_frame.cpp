#include "bridge/core/message_frame.h"

#include <algorithm>

namespace qlx::bridge {

void FrameReader::Feed(std::string_view bytes) {
    while (!bytes.empty()) {
        if (bodyLeft_ == 0 && !skipping_) {
            header_[headerFill_++] = static_cast<unsigned char>(bytes.front());
            bytes.remove_prefix(1);
            if (headerFill_ < sizeof header_) {
                continue;
            }
            headerFill_ = 0;
            const uint32_t length =
                static_cast<uint32_t>(header_[0]) | static_cast<uint32_t>(header_[1]) << 8 |
                static_cast<uint32_t>(header_[2]) << 16 | static_cast<uint32_t>(header_[3]) << 24;
            if (length > kMaxMessageBytes) {
                ready_.push_back(Frame{Frame::Kind::TooLong, {}, length});
                skipping_ = true;
                bodyLeft_ = length;
            } else if (length == 0) {
                ready_.push_back(Frame{});
            } else {
                bodyLeft_ = length;
                body_.reserve(length);
            }
            continue;
        }
        const size_t take = std::min<size_t>(bodyLeft_, bytes.size());
        if (!skipping_) {
            body_.append(bytes.substr(0, take));
        }
        bytes.remove_prefix(take);
        bodyLeft_ -= static_cast<uint32_t>(take);
        if (bodyLeft_ == 0) {
            if (!skipping_) {
                ready_.push_back(Frame{Frame::Kind::Message, std::move(body_), 0});
                body_.clear();
            }
            skipping_ = false;
        }
    }
}

bool FrameReader::Next(Frame& frame) {
    if (ready_.empty()) {
        return false;
    }
    frame = std::move(ready_.front());
    ready_.pop_front();
    return true;
}

std::string EncodeFrame(std::string_view json) {
    const auto length = static_cast<uint32_t>(json.size());
    std::string out;
    out.reserve(4 + json.size());
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((length >> shift) & 0xFF));
    }
    out.append(json);
    return out;
}

} // namespace qlx::bridge
