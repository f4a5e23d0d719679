#pragma once
// The popup service's COM class `CQLX`. It keeps no state: every option it
// reports is read from the application's settings at the moment of the
// call, and `Block` hands the pop-up to the application's recorder.
#include <windows.h>

#include <string_view>

#include "tray/core/popup_recorder.h"
#include "tray/quellix.h"

namespace qlx::tray {

class CSettings;

// What the service needs of the running application.
class PopupServiceHost {
public:
    virtual ~PopupServiceHost() = default;
    virtual CSettings& Settings() = 0;
    virtual bool RecordBlockedPopup(std::string_view parentAddress, std::string_view popupAddress,
                                    const PopupGeometry& geometry, std::string_view process) = 0;
};

// Set before the class object is registered; lives until it is revoked.
void SetPopupServiceHost(PopupServiceHost* host) noexcept;

// The class factory's creator (see ComModule's ClassFactory).
HRESULT CreatePopupService(IUnknown* outer, REFIID iid, void** out);

// Drops the cached type information; call before OLE is uninitialised.
void ReleasePopupServiceTypeInfo() noexcept;

} // namespace qlx::tray
