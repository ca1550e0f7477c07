#pragma once

#include "app/AppContext.h"

// The settings file "config.ini" in the data folder: section "KSOCRInfo",
// key "channel". Everything else the program keeps in memory only.
namespace kelsor {

inline constexpr const wchar_t* kSettingsSection = L"KSOCRInfo";
inline constexpr const wchar_t* kSettingsChannelKey = L"channel";

// Sets `configPath`; when no file is there, creates it and writes the
// built-in channel. A file that cannot be created is left alone.
void PrepareSettingsFile(AppContext& context);

// Reads the channel from an existing settings file into `channel` (the
// built-in value when the key is missing; an empty value stays empty).
void ReadSettingsChannel(AppContext& context);

}  // namespace kelsor
