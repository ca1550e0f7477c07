#pragma once

#include "app/AppContext.h"

// The settings file "config.ini" in the data folder: section "KSOCRInfo",
// keys "channel", "autocopy" and "readcodes". Everything else the program keeps in memory
// only.
namespace kelsor {

inline constexpr const wchar_t* kSettingsSection = L"KSOCRInfo";
inline constexpr const wchar_t* kSettingsChannelKey = L"channel";
inline constexpr const wchar_t* kSettingsAutoCopyKey = L"autocopy";
inline constexpr const wchar_t* kSettingsReadCodesKey = L"readcodes";

// Sets `configPath`; when no file is there, creates it and writes the
// built-in channel. A file that cannot be created is left alone.
void PrepareSettingsFile(AppContext& context);

// Reads the channel from an existing settings file into `channel` (the
// built-in value when the key is missing; an empty value stays empty).
void ReadSettingsChannel(AppContext& context);

// Reads "autocopy" (copy the text of each screen recognition) into
// `autoCopyScreenText`: on only for "1"; a missing file or key leaves it off.
void ReadSettingsAutoCopy(AppContext& context);

// Sets `autoCopyScreenText` and remembers it in the settings file; false
// when the file could not be written (the choice still holds for this run).
bool SaveSettingsAutoCopy(AppContext& context, bool on);

// Reads "readcodes" (read QR codes and barcodes with the text) into
// `readCodes`: off only for "0"; a missing file or key leaves it on.
void ReadSettingsReadCodes(AppContext& context);

// Sets `readCodes` and remembers it in the settings file; false when the
// file could not be written (the choice still holds for this run).
bool SaveSettingsReadCodes(AppContext& context, bool on);

}  // namespace kelsor
