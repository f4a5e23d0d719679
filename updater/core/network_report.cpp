#include "updater/core/network_report.h"

#include <algorithm>

#include "updater/core/icmp_packet.h"

namespace qlx::updater {

namespace {

std::string Join(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (std::string_view p : parts) {
        text.append(p);
    }
    return text;
}

// A dotted address as it is; a name through the resolver.
std::optional<uint32_t> ResolveHost(NetworkProbe& probe, LogSink& report, const std::string& host) {
    if (auto address = ParseDottedAddress(host)) {
        return address;
    }
    report.Write("Resolving hostname");
    auto address = probe.Resolve(host);
    if (!address) {
        report.Write(UnknownHostLine(host));
    }
    return address;
}

} // namespace

void WriteNetworkReport(NetworkProbe& probe, LogSink& report,
                        const std::vector<std::string>& traceHosts,
                        const std::vector<std::string>& pingHosts) {
    report.Write("Diagnostic report begin.");
    for (const std::string& host : traceHosts) {
        report.Write("Traceroute of host: " + host);
        const auto address = ResolveHost(probe, report, host);
        if (!address) {
            continue;
        }
        report.Write(", IP=" + FormatAddress(*address));
        const auto hops = probe.Trace(*address, kTraceWorkerLimitMs);
        if (!hops) {
            report.Write("Error: operation timed out.");
            continue;
        }
        for (size_t i = 0; i < hops->size(); ++i) {
            report.Write(TraceHopLine(static_cast<int>(i) + 1, FormatAddress((*hops)[i].responder),
                                      (*hops)[i].ms));
        }
    }
    std::vector<std::pair<std::string, uint32_t>> targets;
    for (const std::string& host : pingHosts) {
        if (const auto address = ResolveHost(probe, report, host)) {
            targets.emplace_back(FormatAddress(*address), *address);
        }
    }
    if (!targets.empty()) {
        probe.Ping(targets, report);
    }
    report.Write("End diagnostic report\r\n");
}

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
