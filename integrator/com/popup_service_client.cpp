#include "popup_service_client.h"

#include <ole2.h>

#include "common/win32/bstr.h"
#include "common/win32/unique_handle.h"
#include "guids.h"
#include "integrator/core/identity.h"

namespace qlx::integrator {

namespace {

// In-process server, in-process handler, local server and remote server.
constexpr DWORD kAnyServerContext = 23;

// The answer of a member that has already returned; a failure code throws.
int16_t Checked(HRESULT hr, const VARIANT_BOOL& value) {
    if (FAILED(hr)) {
        throw ServiceFailure(hr);
    }
    return value;
}

} // namespace

bool TrayProgramRunning() {
    UniqueHandle mutex(::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kTrayMutexName));
    return static_cast<bool>(mutex);
}

ComPtr<IWexafel2> ConnectPopupService() {
    if (!TrayProgramRunning()) {
        return nullptr;
    }
    ComPtr<IUnknown> unknown;
    if (FAILED(::CoCreateInstance(CLSID_PopupService, nullptr, kAnyServerContext, IID_IUnknown,
                                  unknown.put_void())) ||
        !unknown) {
        return nullptr;
    }
    if (FAILED(::OleRun(unknown.get()))) {
        return nullptr;
    }
    ComPtr<IWexafel2> service;
    if (FAILED(unknown->QueryInterface(IID_IWexafel2, service.put_void())) || !service) {
        return nullptr;
    }
    return service;
}

IWexafel2& ComPopupService::Service() {
    if (!service_) {
        throw ServiceFailure(E_POINTER);
    }
    return *service_.get();
}

int16_t ComPopupService::Enable() {
    VARIANT_BOOL v = 0;
    return Checked(Service().get_Enable(&v), v);
}

int16_t ComPopupService::Block(const std::string& parentTitle, const std::string& parentUrl,
                               const std::string& popupUrl, const std::string& process,
                               const WindowGeometry& g) {
    const Bstr title = Bstr::FromAnsi(parentTitle);
    const Bstr parent = Bstr::FromAnsi(parentUrl);
    const Bstr popup = Bstr::FromAnsi(popupUrl);
    const Bstr proc = Bstr::FromAnsi(process);
    VARIANT_BOOL v = 0;
    return Checked(Service().Block(title.get(), parent.get(), popup.get(), proc.get(), g.left,
                                   g.top, g.width, g.height, &v),
                   v);
}

int16_t ComPopupService::Block2(const std::string& parentUrl, const std::string& process,
                                const WindowGeometry& g) {
    const Bstr parent = Bstr::FromAnsi(parentUrl);
    const Bstr proc = Bstr::FromAnsi(process);
    VARIANT_BOOL v = 0;
    return Checked(Service().Block2(parent.get(), proc.get(), g.left, g.top, g.width, g.height, &v),
                   v);
}

#define QLX_SERVICE_FLAG(Name, Getter)                                                             \
    int16_t ComPopupService::Name() {                                                              \
        VARIANT_BOOL v = 0;                                                                        \
        return Checked(Service().Getter(&v), v);                                                   \
    }

QLX_SERVICE_FLAG(BlockOnUserRequest, BlockOnUserRequest)
QLX_SERVICE_FLAG(Normalize, get_Normalize)
QLX_SERVICE_FLAG(Normalize2, get_Normalize2)
QLX_SERVICE_FLAG(NormalizeFitToDesktop, get_NormalizeFitToDesktop)
QLX_SERVICE_FLAG(NormalizeAddBorders, get_NormalizeAddBorders)
QLX_SERVICE_FLAG(NormalizeAddMenuAndToolbar, get_NormalizeAddMenuAndToolbar)
QLX_SERVICE_FLAG(Ignore, get_Ignore)
QLX_SERVICE_FLAG(IgnoreCtrl, get_IgnoreCtrl)
QLX_SERVICE_FLAG(IgnoreShift, get_IgnoreShift)
QLX_SERVICE_FLAG(IgnoreAlt, get_IgnoreAlt)

#undef QLX_SERVICE_FLAG

} // namespace qlx::integrator
