#include "tray/core/os_version.h"

namespace qlx::tray {

bool IsBrowserPopupManagerPresent(const OsVersion& os) {
    if (os.major != 5 || os.minor != 1) {
        return false;
    }
    for (int pack = 2; pack <= 9; ++pack) {
        if (os.servicePack.find("Service Pack " + std::to_string(pack)) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace qlx::tray
