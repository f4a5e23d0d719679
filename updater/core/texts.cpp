#include "updater/core/texts.h"

namespace qlx::updater {

std::string BuiltInText(int id) {
    switch (id) {
    case 128:
        return "KTUpdater";
    case 129:
    case 130:
    case 154:
        return "#Software\\";
    case 133:
        return "Abbr";
    case 135:
        return "@up.dat";
    case 136:
        return "@pv.dat";
    case 137:
        return "update.script";
    case 138:
        return "no";
    case 139:
        return "0";
    case 140:
        return "Downloading ";
    case 141:
        return "Present file: ";
    case 142:
    case 145:
        return "Click 'Cancel' to quit the update session.";
    case 143:
        return "Update actions now are performing.";
    case 144:
        return "Please be patient for few minutes...";
    case 146:
        return "Normal";
    case 147:
        return "Download session is under progress";
    case 148:
        return "Change language";
    case 155:
        return "pv.dat";
    case 160:
        return "Choose your language";
    case 156:
        return "Linking to server";
    case 157:
        return "Updating your application\x92s program files";
    case 163:
        return "databases";
    case 302:
        return "Due to the incorrect format of your software version, update procedure was "
               "unsuccessful. Please contact our Customer Support Center. ";
    case 303:
        return "Due to some unknown system error, updating your software was not successfully "
               "completed. Please try again later.";
    case 306:
    case 307:
        return "Your software\x92s update process was successful. For the software to encompass "
               "all the changes, you are required to restart your computer now.";
    default:
        return {};
    }
}

} // namespace qlx::updater
