#pragma once
// The integrator's connection to the popup service of the running tray
// program: a fresh instance per event, released before the event ends, made
// from a class object that each browser thread keeps.
//
// The calls themselves run on a call thread of the browser thread's own, in
// the multi-threaded apartment, while the browser thread waits for each of
// them, pumping as a call's own wait would, but only until the event's time
// is up: a hung tray program must not hang the browser. (A call made from the
// browser thread's apartment cannot be cut short under Wine: its wait ends
// only with the answer, whatever a message filter says.) A call thread whose
// call outlived the event is given up; it releases its instance and class
// object once the answer comes, and the browser thread starts a new one.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "integrator/core/popup_service.h"
#include "wexafel2.h"

namespace qlx::integrator {

// Whether the tray program runs: its named mutex exists.
bool TrayProgramRunning();

class ServiceCallThread;
struct CallState;

// The popup service as one browser thread reaches it.
class PopupServiceSource {
public:
    static std::shared_ptr<PopupServiceSource> ForThisThread();
    PopupServiceSource() = default;
    ~PopupServiceSource();
    PopupServiceSource(const PopupServiceSource&) = delete;
    PopupServiceSource& operator=(const PopupServiceSource&) = delete;

    using Member = std::function<HRESULT(IWexafel2&, VARIANT_BOOL*)>;

private:
    friend class ServiceEvent;
    bool Connect(ULONGLONG deadline);
    HRESULT Call(Member member, ULONGLONG deadline, VARIANT_BOOL* value);
    void EndEvent(ULONGLONG deadline, bool failed);
    // Runs `work` on the call thread until the deadline; a call thread that
    // does not finish in time is given up.
    bool Run(std::function<void(CallState&)> work, ULONGLONG deadline);

    std::shared_ptr<ServiceCallThread> calls_;
    bool waiting_ = false; // the browser thread pumps messages while it waits
};

// The service for the length of one event: connected at the start (tray
// test, an instance in any server context, running state, IWexafel2),
// released at the end; every call of the event together bounded in time.
class ServiceEvent final : public PopupService {
public:
    static constexpr DWORD kLimitMs = 3000;
    explicit ServiceEvent(PopupServiceSource& source, DWORD limitMs = kLimitMs);
    ~ServiceEvent() override;
    ServiceEvent(const ServiceEvent&) = delete;
    ServiceEvent& operator=(const ServiceEvent&) = delete;

    // False when any connection step failed or time ran out.
    bool Connected() const { return connected_; }

    int16_t Enable() override;
    int16_t Block(const std::string& parentTitle, const std::string& parentUrl,
                  const std::string& popupUrl, const std::string& process,
                  const WindowGeometry& geometry) override;
    int16_t Block2(const std::string& parentUrl, const std::string& process,
                   const WindowGeometry& geometry) override;
    int16_t BlockOnUserRequest() override;
    int16_t Normalize() override;
    int16_t Normalize2() override;
    int16_t NormalizeFitToDesktop() override;
    int16_t NormalizeAddBorders() override;
    int16_t NormalizeAddMenuAndToolbar() override;
    int16_t Ignore() override;
    int16_t IgnoreCtrl() override;
    int16_t IgnoreShift() override;
    int16_t IgnoreAlt() override;

private:
    // The member's answer; a failure code (or no answer in time) throws, and
    // the class object is then obtained afresh at the next event.
    int16_t Checked(PopupServiceSource::Member member);

    PopupServiceSource& source_;
    ULONGLONG deadline_;
    bool connected_ = false;
    bool failed_ = false;
};

} // namespace qlx::integrator
