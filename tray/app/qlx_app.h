#pragma once
// The application object of QLX.exe: decides between COM server only,
// (un)registration and the tray application; owns the settings, the update
// manager, the named mutex and the main window for the whole run.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "common/win32/com_apartment.h"
#include "common/win32/com_module.h"
#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "tray/app/main_dlg.h"
#include "tray/app/sites_page.h"
#include "tray/app/update_manager.h"
#include "tray/app/win32_file_store.h"
#include "tray/com/popup_service.h"
#include "tray/core/allowed_sites.h"
#include "tray/core/command_line.h"
#include "tray/core/local_clock.h"
#include "tray/core/settings.h"

namespace qlx::tray {

inline constexpr const char* kInstanceMutexName = "QuellixMutex";

class CQlxApp final : public PopupServiceHost, public SiteListOwner {
public:
    explicit CQlxApp(HINSTANCE instance);
    CQlxApp(const CQlxApp&) = delete;
    CQlxApp& operator=(const CQlxApp&) = delete;
    ~CQlxApp() override;

    // The whole life: start-up, message loop, shutdown. Returns the exit code.
    int Run(const char* commandLine);

    // PopupServiceHost
    CSettings& Settings() override { return settings_; }
    // The factory values ("Defaults" of the settings dialog).
    const CSettings& Defaults() const { return defaults_; }
    bool RecordBlockedPopup(std::string_view parentAddress, std::string_view popupAddress,
                            const PopupGeometry& geometry, std::string_view process) override;

    // The allowed sites, read at start and after every change; the popup
    // service looks them up in memory.
    const AllowedSites& Sites() const override { return sites_.sites; }
    // The user's changes of the list: made to "sites.lst" at once. A refusal
    // or a failed save is explained to the user in a message box over
    // `owner` (none when `owner` is null).
    SiteEdit AllowSite(std::string_view typed, HWND owner) override;
    SiteEdit RemoveSite(const std::string& entry, HWND owner) override;

    HINSTANCE Instance() const { return instance_; }
    const std::string& ProductName() const { return productName_; }
    const CUpdateManager& Updates() const { return updates_; }
    CUpdateManager& Updates() { return updates_; }
    const Clock& GetClock() const { return clock_; }
    // Windows is ending: save as at a normal exit.
    void OnEndSession();

    // Set while one of the program's modal dialogs (settings, about, exit
    // question) is open.
    bool modalDialogOpen = false;

private:
    enum class Start { RunLoop, Exit };
    Start InitInstance(const char* commandLine);
    bool StartNormally();
    HRESULT Register();
    HRESULT Unregister();
    void ExitInstance();
    void TakeSites(const SiteEdit& edit, HWND owner);

    HINSTANCE instance_;
    std::string productName_;
    StartMode mode_ = StartMode::Normal;
    std::optional<OleApartment> ole_;
    DWORD classCookie_ = 0;
    ClassFactory factory_{CreatePopupService};
    int exitCode_ = 0;
    bool exited_ = false;

    Win32Registry registry_;
    Win32FileStore files_;
    SystemClock clock_;
    CSettings defaults_;
    CSettings settings_;
    std::string sitesFile_;
    SitesReading sites_;
    CUpdateManager updates_;
    UniqueHandle mutex_;
    std::unique_ptr<CMainDlg> mainDlg_;
};

} // namespace qlx::tray
