#pragma once
// The updater's string table by number. The Win32 program loads its texts
// from its resources; these are the same texts, for the core and its tests.
#include <string>

namespace qlx::updater {

enum TextId : int {
    kTextMainFrameTitle = 128,
    kTextRegistryRoot = 129,
    kTextAbbrValue = 133,
    kTextServerDefault = 135,
    kTextVersionDefault = 136,
    kTextScriptDefault = 137,
    kTextSslDefault = 138,
    kTextFamilyDefault = 139,
    kTextDownloading = 140,
    kTextPresentFile = 141,
    kTextCancelHint = 142,
    kTextActionsPerforming = 143,
    kTextBePatient = 144,
    kTextCancelHint2 = 145,
    kTextAppearanceDefault = 146,
    kTextSessionCaption = 147,
    kTextLanguageCaption = 148,
    kTextVersionFileDefault = 155,
    kTextLinking = 156,
    kTextInstallTitle = 157,
    kTextChooseLanguage = 160,
    kTextDatabases = 163,
    kTextBadVersionMessage = 302,
    kTextFailureMessage = 303,
    kTextRestartMessage = 306,
    kTextRestartMessage2 = 307,
};

// The text of `id`, or empty for a number the table does not hold.
std::string BuiltInText(int id);

} // namespace qlx::updater
