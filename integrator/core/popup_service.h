#pragma once
// The popup service of the tray program as the decision client sees it. Each
// member answers the raw COM boolean (-1 true, 0 false); a member whose call
// fails throws ServiceFailure, which the event handler's boundary catches.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "integrator/core/window_geometry.h"

namespace qlx::integrator {

class ServiceFailure : public std::runtime_error {
public:
    explicit ServiceFailure(long code)
        : std::runtime_error("popup service call failed"), code_(code) {}
    long code() const noexcept { return code_; }

private:
    long code_;
};

class PopupService {
public:
    virtual ~PopupService() = default;
    virtual int16_t Enable() = 0;
    virtual int16_t Block(const std::string& parentTitle, const std::string& parentUrl,
                          const std::string& popupUrl, const std::string& process,
                          const WindowGeometry& geometry) = 0;
    virtual int16_t Block2(const std::string& parentUrl, const std::string& process,
                           const WindowGeometry& geometry) = 0;
    virtual int16_t BlockOnUserRequest() = 0;
    virtual int16_t Normalize() = 0;
    virtual int16_t Normalize2() = 0;
    virtual int16_t NormalizeFitToDesktop() = 0;
    virtual int16_t NormalizeAddBorders() = 0;
    virtual int16_t NormalizeAddMenuAndToolbar() = 0;
    virtual int16_t Ignore() = 0;
    virtual int16_t IgnoreCtrl() = 0;
    virtual int16_t IgnoreShift() = 0;
    virtual int16_t IgnoreAlt() = 0;
};

} // namespace qlx::integrator
