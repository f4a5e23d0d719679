#pragma once
// The browser's native-messaging frames: a 32-bit length in the machine's
// byte order (little-endian on every Windows machine), then that many bytes
// of UTF-8 JSON. The reader takes the bytes as they arrive, in any slices;
// a frame announced longer than the bound is reported once and its bytes are
// skipped as they come, so one bad message does not end the conversation.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace qlx::bridge {

inline constexpr uint32_t kMaxMessageBytes = 1024 * 1024;

struct Frame {
    enum class Kind { Message, TooLong };
    Kind kind = Kind::Message;
    std::string body;       // Message: the JSON text
    uint32_t announced = 0; // TooLong: the length the prefix gave
};

class FrameReader {
public:
    void Feed(std::string_view bytes);
    // The next complete frame, in order; false when none is complete yet.
    bool Next(Frame& frame);
    // Bytes of a frame begun but not complete (a stream that ends here was cut).
    bool MidFrame() const { return headerFill_ > 0 || bodyLeft_ > 0; }

private:
    unsigned char header_[4] = {};
    size_t headerFill_ = 0;
    uint32_t bodyLeft_ = 0;
    bool skipping_ = false;
    std::string body_;
    std::deque<Frame> ready_;
};

// The frame of one message as the browser expects it (the bound applies to
// the replies as well).
std::string EncodeFrame(std::string_view json);

} // namespace qlx::bridge
