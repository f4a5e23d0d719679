#pragma once
// The integrator's connection to the popup service of the running tray
// program: a fresh instance per event, released before the event ends.
#include <windows.h>

#include "common/win32/com_ptr.h"
#include "integrator/core/popup_service.h"
#include "wexafel2.h"

namespace qlx::integrator {

// Whether the tray program runs: its named mutex exists.
bool TrayProgramRunning();

// Tray test, creation (any server context), running state and IWexafel2, in
// that order; null when any of them fails. A successful answer with a null
// reference counts as a failure too.
ComPtr<IWexafel2> ConnectPopupService();

// The service behind the decision client's seam: a failing member throws
// ServiceFailure with its result code.
class ComPopupService final : public PopupService {
public:
    explicit ComPopupService(ComPtr<IWexafel2> service) : service_(std::move(service)) {}

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
    IWexafel2& Service();
    ComPtr<IWexafel2> service_;
};

} // namespace qlx::integrator
