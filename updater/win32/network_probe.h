#pragma once
// The diagnostic report's view of the network: name look-ups, a traceroute
// worker and overlapped pings over raw ICMP sockets.
#include <winsock2.h>

#include "updater/core/platform.h"

namespace qlx::updater {

class Win32NetworkProbe final : public NetworkProbe {
public:
    Win32NetworkProbe();
    ~Win32NetworkProbe() override;
    Win32NetworkProbe(const Win32NetworkProbe&) = delete;
    Win32NetworkProbe& operator=(const Win32NetworkProbe&) = delete;

    std::optional<uint32_t> Resolve(const std::string& host) override;
    std::optional<std::vector<TraceHop>> Trace(uint32_t address, uint32_t limitMs) override;
    void Ping(const std::vector<std::pair<std::string, uint32_t>>& targets,
              LogSink& report) override;

private:
    bool started_ = false;
};

} // namespace qlx::updater
