#include "tray/app/qlx_app.h"

#include <commctrl.h>
#include <ole2.h>

#include "common/win32/registrar.h"
#include "skin/message_box.h"
#include "tray/app/settings_place.h"
#include "tray/core/system_integration.h"
#include "tray/res/resource.h"

namespace qlx::tray {

namespace {

const Replacements& ScriptNames() {
    static const Replacements names = {
        {"APPID", "{2A081A1E-7D1C-49B3-9345-7F9EF419E873}"},
        {"CLSID", "{2EEDC3D9-D3C2-44F0-89C3-286D73BDD7D5}"},
        {"LIBID", "{41AF1B1D-44A7-4678-97AF-838F2C6BA296}"},
    };
    return names;
}

} // namespace

CQlxApp::CQlxApp(HINSTANCE instance) : instance_(instance) {
    productName_ = skin::LoadString(instance, IDS_PRODUCT_NAME);
    if (productName_.empty()) {
        productName_ = kProductName;
    }
    defaults_ = CSettings::FactoryDefaults(DefaultSoundFile());
    settings_.Construct(defaults_);
}

CQlxApp::~CQlxApp() {
    ExitInstance();
}

int CQlxApp::Run(const char* commandLine) {
    if (InitInstance(commandLine) == Start::RunLoop) {
        MSG msg;
        int result;
        while ((result = ::GetMessageA(&msg, nullptr, 0, 0)) > 0) {
            if (mainDlg_ && mainDlg_->PreTranslate(msg)) {
                continue;
            }
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        exitCode_ = result == 0 ? static_cast<int>(msg.wParam) : 1;
    }
    ExitInstance();
    return exitCode_;
}

CQlxApp::Start CQlxApp::InitInstance(const char* commandLine) {
    // 1. The main thread becomes a single-threaded apartment.
    if (!ole_.emplace().entered()) {
        ole_.reset();
        exitCode_ = 1;
        return Start::Exit;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    ::InitCommonControlsEx(&controls);
    ComModule::Instance().SetHandle(instance_);
    skin::SetMessageBoxCaptions(instance_, {IDS_MSGBOX_OK, IDS_MSGBOX_CANCEL, IDS_MSGBOX_NO,
                                            IDS_MSGBOX_IGNORE, IDS_MSGBOX_RETRY, IDS_MSGBOX_ABORT,
                                            IDS_MSGBOX_TRY, IDS_MSGBOX_CONTINUE, IDS_MSGBOX_YES});

    // 2. The command line.
    mode_ = ParseCommandLine(commandLine ? commandLine : "");

    // 3. The popup service's class object, before anything else can fail.
    SetPopupServiceHost(this);
    if (FAILED(::CoRegisterClassObject(CLSID_CQLX, &factory_, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &classCookie_))) {
        classCookie_ = 0;
        exitCode_ = 1;
        return Start::Exit;
    }

    switch (mode_) {
    case StartMode::ComServer:
        // 4. Only the COM server, with factory settings: no mutex, no window,
        // nothing saved; the process ends when the last object goes.
        ComModule::Instance().SetOnLastUnlock([] { ::PostQuitMessage(0); });
        return Start::RunLoop;
    case StartMode::Unregister:
        exitCode_ = SUCCEEDED(Unregister()) ? 0 : 1;
        return Start::Exit;
    case StartMode::Register:
        exitCode_ = SUCCEEDED(Register()) ? 0 : 1;
        return Start::Exit;
    case StartMode::Normal:
        break;
    }
    return StartNormally() ? Start::RunLoop : Start::Exit;
}

bool CQlxApp::StartNormally() {
    // Settings and history.
    settings_.Open(registry_, RegRoot::CurrentUser, kOptionsKeyPath);
    settings_.Load(defaults_, ComputeSettingsPlace(productName_), files_);
    sitesFile_ = settings_.Place().dataFolder + "\\" + kSitesFileName;
    sites_ = LoadSitesFile(files_, sitesFile_);

    // The update manager: the schedule of program updates and the updater launch.
    updates_.SetScheduleFile(0, "Program.upd");
    updates_.SetProductName(productName_);
    updates_.SetProgramFolder(settings_.Place().programFolder);
    updates_.Start(true, nullptr);
    updates_.SetRunInvisibly(true);
    updates_.SetProgramUpdatesEnabled(settings_.UpdateOnStartup);

    // One tray application per login: a second start ends silently. A mutex
    // that exists but may not be opened (the first instance runs elevated)
    // means the same; two instances would save over each other at exit.
    mutex_.reset(::CreateMutexA(nullptr, FALSE, kInstanceMutexName));
    const DWORD mutexError = ::GetLastError();
    if (mutex_ ? mutexError == ERROR_ALREADY_EXISTS : mutexError == ERROR_ACCESS_DENIED) {
        mutex_.reset();
        exitCode_ = 0;
        return false;
    }

    // The skin's image lists are loaded here once the skinned windows exist.
    // (The framework's registry key of the original design has no use here:
    // nothing reads profile values through it.)

    if (IsBrowserPopupManagerPresent(settings_.Place().os)) {
        DisableBrowserPopupManager(registry_);
    }

    mainDlg_ = std::make_unique<CMainDlg>(*this);
    if (!mainDlg_->Create()) {
        mainDlg_.reset();
        exitCode_ = 1;
        return false;
    }
    mainDlg_->PlaceLowerRight();
    settings_.SetReady(true);
    return true;
}

bool CQlxApp::RecordBlockedPopup(std::string_view parentAddress, std::string_view popupAddress,
                                 const PopupGeometry& geometry, std::string_view process) {
    const bool shown = mainDlg_ && mainDlg_->Window();
    return tray::RecordBlockedPopup(settings_, clock_, shown ? mainDlg_->Notifier() : nullptr,
                                    shown ? mainDlg_.get() : nullptr, parentAddress, popupAddress,
                                    geometry, &sites_.sites, process);
}

SiteEdit CQlxApp::AllowSite(std::string_view typed, HWND owner) {
    SiteEdit edit = AddSiteToFile(files_, sitesFile_, typed);
    TakeSites(edit, owner);
    return edit;
}

SiteEdit CQlxApp::RemoveSite(const std::string& entry, HWND owner) {
    SiteEdit edit = RemoveSiteFromFile(files_, sitesFile_, entry);
    TakeSites(edit, owner);
    return edit;
}

void CQlxApp::TakeSites(const SiteEdit& edit, HWND owner) {
    sites_ = edit.sites;
    if (!edit.message.empty() && owner) {
        skin::SkinMessageBox(owner, edit.message, productName_, MB_OK | MB_ICONWARNING);
    }
}

HRESULT CQlxApp::Register() {
    HRESULT hr = UpdateRegistryFromResource(instance_, IDR_APPID_SCRIPT, true, ScriptNames());
    if (SUCCEEDED(hr)) {
        hr = UpdateRegistryFromResource(instance_, IDR_POPUP_SERVICE_SCRIPT, true, ScriptNames());
    }
    if (SUCCEEDED(hr)) {
        hr = RegisterModuleTypeLib(instance_);
    }
    return hr;
}

HRESULT CQlxApp::Unregister() {
    const HRESULT appId =
        UpdateRegistryFromResource(instance_, IDR_APPID_SCRIPT, false, ScriptNames());
    const HRESULT cls =
        UpdateRegistryFromResource(instance_, IDR_POPUP_SERVICE_SCRIPT, false, ScriptNames());
    UnregisterModuleTypeLib(instance_); // a library that is not registered is no error
    return FAILED(appId) ? appId : cls;
}

void CQlxApp::OnEndSession() {
    settings_.SaveOnExit();
}

void CQlxApp::ExitInstance() {
    if (exited_) {
        return;
    }
    exited_ = true;
    mainDlg_.reset();
    mutex_.reset();
    settings_.SaveOnExit();
    settings_.SetReady(false); // saved once
    if (classCookie_) {
        ::CoRevokeClassObject(classCookie_);
        classCookie_ = 0;
    }
    SetPopupServiceHost(nullptr);
    ComModule::Instance().SetOnLastUnlock(nullptr);
    ReleasePopupServiceTypeInfo();
    ole_.reset(); // last, once every COM object of the thread is gone
}

} // namespace qlx::tray
