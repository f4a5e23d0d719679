#include "updater/win32/network_probe.h"

#include <ws2tcpip.h>

#include <atomic>
#include <cstdio>
#include <list>
#include <memory>

#include "common/win32/unique_handle.h"
#include "updater/core/icmp_packet.h"
#include "updater/core/network_report.h"

namespace qlx::updater {

namespace {

constexpr int kPingTtl = 64;
constexpr size_t kPayloadBytes = 32;
constexpr size_t kReceiveBytes = 1024;

std::atomic<uint16_t> g_sequence{1};

uint16_t Identifier() {
    return static_cast<uint16_t>(::GetCurrentProcessId());
}

struct SocketTraits {
    static SOCKET Invalid() noexcept { return INVALID_SOCKET; }
    static bool IsValid(SOCKET s) noexcept { return s != INVALID_SOCKET; }
    static void Close(SOCKET s) noexcept { ::closesocket(s); }
};
using UniqueSocket = UniqueResource<SOCKET, SocketTraits>;

sockaddr_in SocketAddress(uint32_t address) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(address);
    return to;
}

std::string Format(const char* format, const std::string& text, int code) {
    char line[256];
    std::snprintf(line, sizeof line, format, text.c_str(), code);
    return line;
}

std::string Format(const char* format, int code) {
    char line[256];
    std::snprintf(line, sizeof line, format, code);
    return line;
}

// The traceroute worker: probes with growing TTL until the target answers.
struct TraceJob {
    uint32_t address = 0;
    std::atomic<bool> stop{false};
    std::vector<TraceHop> hops;
};

DWORD WINAPI TraceWorker(void* parameter) {
    std::shared_ptr<TraceJob> job(*static_cast<std::shared_ptr<TraceJob>*>(parameter));
    delete static_cast<std::shared_ptr<TraceJob>*>(parameter);
    UniqueSocket socket(::socket(AF_INET, SOCK_RAW, IPPROTO_ICMP));
    if (!socket) {
        return 1;
    }
    const DWORD timeout = kTraceProbeTimeoutMs;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof timeout);
    const sockaddr_in to = SocketAddress(job->address);
    for (int ttl = 1; ttl <= kTraceMaxHops && !job->stop; ++ttl) {
        ::setsockopt(socket.get(), IPPROTO_IP, IP_TTL, reinterpret_cast<const char*>(&ttl),
                     sizeof ttl);
        TraceHop hop;
        bool reached = false;
        for (int probe = 0; probe < kTraceProbesPerHop && hop.responder == 0 && !job->stop;
             ++probe) {
            const uint16_t sequence = g_sequence++;
            const std::vector<uint8_t> packet = MakeEchoRequest(Identifier(), sequence, 32);
            const ULONGLONG sent = ::GetTickCount64();
            if (::sendto(socket.get(), reinterpret_cast<const char*>(packet.data()),
                         static_cast<int>(packet.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to) == SOCKET_ERROR) {
                continue;
            }
            // Other ICMP traffic (our own requests on loopback among it) is
            // skipped until the probe's time is up.
            while (::GetTickCount64() - sent < kTraceProbeTimeoutMs && !job->stop) {
                uint8_t buffer[kReceiveBytes];
                const int got =
                    ::recv(socket.get(), reinterpret_cast<char*>(buffer), sizeof buffer, 0);
                if (got <= 0) {
                    break;
                }
                const IcmpReply reply =
                    ParseIcmpReply(buffer, static_cast<size_t>(got), Identifier(), sequence);
                if (reply.kind != IcmpReply::Kind::Unrelated) {
                    hop = {reply.responder, static_cast<uint32_t>(::GetTickCount64() - sent)};
                    reached = reply.kind == IcmpReply::Kind::EchoReply;
                    break;
                }
            }
        }
        job->hops.push_back(hop);
        if (reached) {
            break;
        }
    }
    return 0;
}

// One pinged host: its socket, its completion event and the state of its
// current attempt.
struct PingHost {
    std::string text;
    uint32_t address = 0;
    UniqueSocket socket;
    UniqueHandle done{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    uint16_t sequence = 0;
    ULONGLONG sentAt = 0;
    LogSink* report = nullptr;
};

// One posted receive; kept until the pinging ends, since an aborted receive
// still completes later.
struct Receive {
    WSAOVERLAPPED overlapped{};
    PingHost* host = nullptr;
    uint16_t sequence = 0;
    sockaddr_in from{};
    int fromLength = sizeof(sockaddr_in);
    DWORD flags = 0;
    char buffer[kReceiveBytes];
    std::list<Receive>* all = nullptr;
};

bool PostReceive(PingHost& host, std::list<Receive>& all);

void CALLBACK ReceiveDone(DWORD error, DWORD bytes, LPWSAOVERLAPPED overlapped, DWORD) {
    auto* receive = reinterpret_cast<Receive*>(overlapped);
    PingHost& host = *receive->host;
    if (error == WSA_OPERATION_ABORTED || receive->sequence != host.sequence) {
        return; // a closed socket or an attempt that is over
    }
    const auto ms = static_cast<uint32_t>(::GetTickCount64() - host.sentAt);
    if (error == WSAETIMEDOUT) {
        host.report->Write(ReceiveTimedOutLine(host.text));
    } else if (error != 0) {
        return;
    } else {
        const IcmpReply reply = ParseIcmpReply(reinterpret_cast<const uint8_t*>(receive->buffer),
                                               bytes, Identifier(), host.sequence);
        if (reply.kind == IcmpReply::Kind::Unrelated) {
            PostReceive(host, *receive->all);
            return;
        }
        const std::string responder = FormatAddress(reply.responder);
        host.report->Write(reply.kind == IcmpReply::Kind::EchoReply
                               ? EchoReplyLine(host.text, reply.code, responder, ms)
                               : QuotingReplyLine(host.text, reply.code, responder, kPingTtl, ms));
    }
    ::SetEvent(host.done.get());
}

bool PostReceive(PingHost& host, std::list<Receive>& all) {
    Receive& receive = all.emplace_back();
    receive.host = &host;
    receive.sequence = host.sequence;
    receive.all = &all;
    WSABUF buffer{sizeof receive.buffer, receive.buffer};
    if (::WSARecvFrom(host.socket.get(), &buffer, 1, nullptr, &receive.flags,
                      reinterpret_cast<sockaddr*>(&receive.from), &receive.fromLength,
                      &receive.overlapped, ReceiveDone) == SOCKET_ERROR &&
        ::WSAGetLastError() != WSA_IO_PENDING) {
        host.report->Write(Format("CAsyncPing::SendCompletion. WSARecvFrom() to %s failed with "
                                  "code %d\r\n",
                                  host.text, ::WSAGetLastError()));
        return false;
    }
    return true;
}

// A fresh socket and echo request for one attempt; false (logged) when the
// host cannot be pinged.
bool SendPing(PingHost& host, DWORD timeout, std::list<Receive>& all) {
    host.socket.reset(
        ::WSASocketA(AF_INET, SOCK_RAW, IPPROTO_ICMP, nullptr, 0, WSA_FLAG_OVERLAPPED));
    if (!host.socket) {
        host.report->Write(Format("CAsyncPing::Ping. WSASocket() call failed with code %d\r\n.",
                                  ::WSAGetLastError()));
        return false;
    }
    const auto option = [&](int level, int name, const void* value, int size, const char* text) {
        if (::setsockopt(host.socket.get(), level, name, static_cast<const char*>(value), size) ==
            SOCKET_ERROR) {
            host.report->Write(Format(text, ::WSAGetLastError()));
            return false;
        }
        return true;
    };
    const int ttl = kPingTtl;
    if (!option(SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout,
                "CAsyncPing::Ping. setsockopt(...SOL_SOCKET, SO_RCVTIMEO...) call failed with "
                "code %d\r\n.") ||
        !option(SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout,
                "CAsyncPing::Ping. setsockopt(...SOL_SOCKET, SO_SNDTIMEO...) call failed with "
                "code %d\r\n.") ||
        !option(IPPROTO_IP, IP_TTL, &ttl, sizeof ttl,
                "CAsyncPing::Ping. setsockopt(IP_TTL) failed: %d\r\n")) {
        return false;
    }
    host.sequence = g_sequence++;
    const std::vector<uint8_t> packet = MakeEchoRequest(Identifier(), host.sequence, kPayloadBytes);
    const sockaddr_in to = SocketAddress(host.address);
    ::ResetEvent(host.done.get());
    host.sentAt = ::GetTickCount64();
    if (::sendto(host.socket.get(), reinterpret_cast<const char*>(packet.data()),
                 static_cast<int>(packet.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to) == SOCKET_ERROR) {
        host.report->Write(Format("CAsyncPing::Ping. sendto() to %s failed with code %d\r\n",
                                  host.text, ::WSAGetLastError()));
        return false;
    }
    return PostReceive(host, all);
}

} // namespace

Win32NetworkProbe::Win32NetworkProbe() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Win32NetworkProbe::~Win32NetworkProbe() {
    if (started_) {
        ::WSACleanup();
    }
}

std::optional<uint32_t> Win32NetworkProbe::Resolve(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return std::nullopt;
    }
    const uint32_t address =
        ntohl(reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return address;
}

std::optional<std::vector<TraceHop>> Win32NetworkProbe::Trace(uint32_t address, uint32_t limitMs) {
    auto job = std::make_shared<TraceJob>();
    job->address = address;
    UniqueHandle thread(
        ::CreateThread(nullptr, 0, TraceWorker, new std::shared_ptr<TraceJob>(job), 0, nullptr));
    if (!thread) {
        return std::nullopt;
    }
    if (::WaitForSingleObject(thread.get(), limitMs) != WAIT_OBJECT_0) {
        // The worker stops at its next probe and frees what it holds itself.
        job->stop = true;
        return std::nullopt;
    }
    return job->hops;
}

void Win32NetworkProbe::Ping(const std::vector<std::pair<std::string, uint32_t>>& targets,
                             LogSink& report) {
    std::list<Receive> receives;
    std::vector<std::unique_ptr<PingHost>> hosts;
    for (const auto& [text, address] : targets) {
        if (hosts.size() == MAXIMUM_WAIT_OBJECTS) {
            break;
        }
        auto host = std::make_unique<PingHost>();
        host->text = text;
        host->address = address;
        host->report = &report;
        hosts.push_back(std::move(host));
    }
    PingSchedule schedule(hosts.size());
    for (size_t i = 0; i < hosts.size(); ++i) {
        if (!SendPing(*hosts[i], kFirstPingTimeoutMs, receives)) {
            schedule.Drop(i);
        }
    }
    const auto attemptEnded = [&](size_t i) {
        if (!schedule.AttemptEnded(i) || !SendPing(*hosts[i], kPingTimeoutMs, receives)) {
            schedule.Drop(i);
            hosts[i]->socket.reset();
        }
    };
    while (!schedule.Done()) {
        std::vector<HANDLE> events;
        std::vector<size_t> index;
        for (size_t i = 0; i < hosts.size(); ++i) {
            if (schedule.Active(i)) {
                events.push_back(hosts[i]->done.get());
                index.push_back(i);
            }
        }
        const DWORD result = ::WaitForMultipleObjectsEx(static_cast<DWORD>(events.size()),
                                                        events.data(), FALSE, kPingRoundMs, TRUE);
        if (result == WAIT_IO_COMPLETION) {
            continue;
        }
        if (result == WAIT_TIMEOUT) {
            for (size_t i : index) {
                report.Write(RequestTimedOutLine(hosts[i]->text));
                attemptEnded(i);
            }
        } else if (result < WAIT_OBJECT_0 + events.size()) {
            attemptEnded(index[result - WAIT_OBJECT_0]);
        } else {
            break;
        }
    }
    // Closed sockets still complete their receives: let them run before the
    // receives are freed.
    for (auto& host : hosts) {
        host->socket.reset();
    }
    while (::SleepEx(50, TRUE) == WAIT_IO_COMPLETION) {
    }
}

} // namespace qlx::updater
