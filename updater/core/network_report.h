#pragma once
// The texts and the ping rounds of the network report "diagnosis.dat",
// written when a request to an update server fails.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/platform.h"

namespace qlx::updater {

inline constexpr int kPingAttempts = 4;
inline constexpr uint32_t kFirstPingTimeoutMs = 500;
inline constexpr uint32_t kPingTimeoutMs = 3000;
inline constexpr uint32_t kPingRoundMs = 3000;
inline constexpr uint32_t kTraceWorkerLimitMs = 10000;
inline constexpr int kTraceMaxHops = 64;
inline constexpr int kTraceProbesPerHop = 3;
inline constexpr uint32_t kTraceProbeTimeoutMs = 4000;

std::string UnknownHostLine(std::string_view host);
std::string EchoReplyLine(std::string_view address, int code, std::string_view responder,
                          uint32_t ms);
std::string QuotingReplyLine(std::string_view address, int code, std::string_view responder,
                             int ttl, uint32_t ms);
std::string ReceiveTimedOutLine(std::string_view address);
std::string RequestTimedOutLine(std::string_view address);
std::string TraceHopLine(int hop, std::string_view responder, uint32_t ms);

// The whole report: the traceroute of each `traceHosts` entry, then the
// pings of every `pingHosts` entry that resolves.
void WriteNetworkReport(NetworkProbe& probe, LogSink& report,
                        const std::vector<std::string>& traceHosts,
                        const std::vector<std::string>& pingHosts);

// Which hosts are pinged again after a round: each host gets at most
// kPingAttempts attempts, whether they end in a reply or a time-out.
class PingSchedule {
public:
    explicit PingSchedule(size_t hosts) : attempts_(hosts, 0), active_(hosts, true) {}

    // An attempt of `host` ended (reply or time-out). True when it is to be
    // pinged again; false drops it from the set.
    bool AttemptEnded(size_t host);
    bool Active(size_t host) const { return active_[host]; }
    void Drop(size_t host) { active_[host] = false; }
    bool Done() const;

private:
    std::vector<int> attempts_;
    std::vector<bool> active_;
};

} // namespace qlx::updater
