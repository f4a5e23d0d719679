#pragma once
// Where the settings' files live on this machine, and the factory sound.
#include "tray/core/settings.h"

namespace qlx::tray {

// The program folder and file name, the data folder (created if missing,
// with the fallbacks "<program folder>Settings" and the program folder),
// the history file in it and the operating-system version.
SettingsPlace ComputeSettingsPlace(const std::string& productName);

// "<Windows folder>\Media\ding.wav" when that file exists, else "".
std::string DefaultSoundFile();

} // namespace qlx::tray
