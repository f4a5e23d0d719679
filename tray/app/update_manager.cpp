#include "tray/app/update_manager.h"

#include <ctime>

#include "skin/message_box.h"
#include "tray/app/win32_file_store.h"
#include "tray/core/text_fill.h"
#include "tray/res/resource.h"

namespace qlx::tray {

void CUpdateManager::SetScheduleFile(int kind, std::string fileName) {
    if (kind == 0 || kind == 1) {
        scheduleFiles_[kind] = std::move(fileName);
    }
}

void CUpdateManager::Start(bool complainIfVersionMissing, HWND messageOwner) {
    startTime_ = static_cast<int64_t>(std::time(nullptr));
    // The schedule's hidden timer window and planning start here once the
    // update feature exists.
    ReadVersion(complainIfVersionMissing, messageOwner);
}

bool CUpdateManager::ReadVersion(bool complain, HWND messageOwner) {
    const std::string path = programFolder_ + "version.dat";
    const FileRead content = Win32FileStore().Read(path);
    if (!content.ok()) {
        if (complain) {
            HINSTANCE module = ::GetModuleHandleA(nullptr);
            const std::string text =
                FillPlaceholder(skin::LoadString(module, IDS_FILE_ABSENT), "version.dat");
            skin::SkinMessageBox(messageOwner, text, productName_, MB_OK | MB_ICONWARNING);
        }
        return false;
    }
    programVersion_ = FirstWord(content.content);
    return true;
}

} // namespace qlx::tray
