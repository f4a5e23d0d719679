#pragma once
// The application object of QLX.exe: decides between COM server only,
// (un)registration and the tray application; owns the settings, the update
// manager, the named mutex and the main window for the whole run.
#include <windows.h>

#include <memory>
#include <string>

#include "common/win32/com_module.h"
#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "tray/app/main_dlg.h"
#include "tray/app/update_manager.h"
#include "tray/app/win32_file_store.h"
#include "tray/com/popup_service.h"
#include "tray/core/command_line.h"
#include "tray/core/local_clock.h"
#include "tray/core/settings.h"

namespace qlx::tray {

inline constexpr const char* kInstanceMutexName = "QuellixMutex";

class CQlxApp final : public PopupServiceHost {
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
                            const PopupGeometry& geometry) override;

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

    HINSTANCE instance_;
    std::string productName_;
    StartMode mode_ = StartMode::Normal;
    bool oleInitialized_ = false;
    DWORD classCookie_ = 0;
    ClassFactory factory_{CreatePopupService};
    int exitCode_ = 0;
    bool exited_ = false;

    Win32Registry registry_;
    Win32FileStore files_;
    SystemClock clock_;
    CSettings defaults_;
    CSettings settings_;
    CUpdateManager updates_;
    UniqueHandle mutex_;
    std::unique_ptr<CMainDlg> mainDlg_;
};

} // namespace qlx::tray
