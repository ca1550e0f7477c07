#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The screen-capture key: modifiers and one key, named the way the program
// shows it ("ctrl + 2") and stores it under "hotkey" in the settings file.
namespace kelsor::shell {

// X modifier masks, which the key grab uses as they are.
inline constexpr std::uint16_t kModShift = 0x0001;
inline constexpr std::uint16_t kModCtrl = 0x0004;
inline constexpr std::uint16_t kModAlt = 0x0008;    // Mod1
inline constexpr std::uint16_t kModSuper = 0x0040;  // Mod4

struct HotKey {
    std::uint16_t modifiers = kModCtrl;
    std::uint32_t keysym = 0x32;  // the unshifted key, an X keysym ("2")
    bool operator==(const HotKey&) const = default;
};

inline constexpr HotKey kDefaultHotKey{};
inline constexpr const wchar_t* kSettingsHotKeyKey = L"hotkey";

// Shift alone does not make a capture key: it would take capital letters
// away from every other program.
bool HasRequiredModifier(const HotKey& key);

// "ctrl + alt + a", modifiers in the order ctrl, alt, shift, super. Empty
// for a key the program does not know.
std::wstring HotKeyName(const HotKey& key);

// The key a name stands for; nothing for an unknown key, a missing key or
// one without a required modifier. Blanks and case do not matter.
std::optional<HotKey> ParseHotKey(std::wstring_view name);

// The keysym of a Qt key code (Qt::Key_A → "a"), 0 for keys the program
// does not offer.
std::uint32_t KeysymOfQtKey(int qtKey);
// Whether the program offers this keysym as a capture key.
bool IsKnownKeysym(std::uint32_t keysym);

// The capture key of the settings file: the default when the file or the
// key is missing; an unusable value is named on standard error and the
// default used.
HotKey LoadHotKey(const std::wstring& configPath);
// Writes the key's name beside the channel; false when the file could not
// be written.
bool SaveHotKey(const std::wstring& configPath, const HotKey& key);

}  // namespace kelsor::shell
