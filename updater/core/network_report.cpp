#include "updater/core/network_report.h"

#include <algorithm>

namespace qlx::updater {

namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view p : parts) {
        text.append(p);
    }
    return text;
}

} // namespace

std::string UnknownHostLine(std::string_view host) {
    return Join({host, ": unknown host"});
}

std::string EchoReplyLine(std::string_view address, int code, std::string_view responder,
                          uint32_t ms) {
    return Join({"Pinging ", address, ": response code ", std::to_string(code), " from ", responder,
                 " after ", std::to_string(ms), " milliseconds.\r\n"});
}

std::string QuotingReplyLine(std::string_view address, int code, std::string_view responder,
                             int ttl, uint32_t ms) {
    return Join({"Pinging ", address, ": response code ", std::to_string(code), " from ", responder,
                 ", TTL=", std::to_string(ttl), ", after ", std::to_string(ms),
                 " milliseconds.\r\n"});
}

std::string ReceiveTimedOutLine(std::string_view address) {
    return Join({"Pinging ", address, ": operation timed out.\r\n"});
}

std::string RequestTimedOutLine(std::string_view address) {
    return Join({address, ": request timed out.\r\n"});
}

std::string TraceHopLine(int hop, std::string_view responder, uint32_t ms) {
    return Join({responder, ", TTL=", std::to_string(hop), ", ", std::to_string(ms), " ms"});
}

bool PingSchedule::AttemptEnded(size_t host) {
    if (!active_[host]) {
        return false;
    }
    if (++attempts_[host] < kPingAttempts) {
        return true;
    }
    active_[host] = false;
    return false;
}

bool PingSchedule::Done() const {
    return std::none_of(active_.begin(), active_.end(), [](bool a) { return a; });
}

} // namespace qlx::updater
