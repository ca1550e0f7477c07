#include "shell/HotKey.h"

#include <QString>
#include <Qt>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cwctype>

#include "app/Settings.h"
#include "platform/sys/Ini.h"

namespace kelsor::shell {
namespace {

struct NamedKey {
    std::uint32_t keysym;
    int qtKey;
    const wchar_t* name;
};

// Keys besides letters, digits and F1-F12; punctuation keysyms are ASCII.
constexpr std::array<NamedKey, 22> kOtherKeys = {{
    {0x0020, Qt::Key_Space, L"space"},    {0xff61, Qt::Key_Print, L"print"},
    {0xff63, Qt::Key_Insert, L"insert"},  {0xffff, Qt::Key_Delete, L"delete"},
    {0xff50, Qt::Key_Home, L"home"},      {0xff57, Qt::Key_End, L"end"},
    {0xff55, Qt::Key_PageUp, L"pageup"},  {0xff56, Qt::Key_PageDown, L"pagedown"},
    {0xff51, Qt::Key_Left, L"left"},      {0xff52, Qt::Key_Up, L"up"},
    {0xff53, Qt::Key_Right, L"right"},    {0xff54, Qt::Key_Down, L"down"},
    {0x002d, Qt::Key_Minus, L"-"},        {0x003d, Qt::Key_Equal, L"="},
    {0x002c, Qt::Key_Comma, L","},        {0x002e, Qt::Key_Period, L"."},
    {0x002f, Qt::Key_Slash, L"/"},        {0x003b, Qt::Key_Semicolon, L";"},
    {0x0027, Qt::Key_Apostrophe, L"'"},   {0x005b, Qt::Key_BracketLeft, L"["},
    {0x005d, Qt::Key_BracketRight, L"]"}, {0x0060, Qt::Key_QuoteLeft, L"`"},
}};

constexpr std::uint32_t kKeysymF1 = 0xffbe;

struct NamedModifier {
    std::uint16_t mask;
    const wchar_t* name;
};
constexpr std::array<NamedModifier, 4> kModifiers = {
    {{kModCtrl, L"ctrl"}, {kModAlt, L"alt"}, {kModShift, L"shift"}, {kModSuper, L"super"}}};

std::wstring KeyName(std::uint32_t keysym) {
    if ((keysym >= 'a' && keysym <= 'z') || (keysym >= '0' && keysym <= '9'))
        return std::wstring(1, static_cast<wchar_t>(keysym));
    if (keysym >= kKeysymF1 && keysym < kKeysymF1 + 12)
        return L"f" + std::to_wstring(keysym - kKeysymF1 + 1);
    for (const NamedKey& k : kOtherKeys) {
        if (k.keysym == keysym)
            return k.name;
    }
    return L"";
}

std::uint32_t KeysymOfName(const std::wstring& name) {
    if (name.empty())
        return 0;  // unknown keysyms have the empty name
    for (std::uint32_t sym = 0x20; sym < 0x7f; ++sym) {
        if (KeyName(sym) == name)
            return sym;
    }
    for (std::uint32_t sym = kKeysymF1; sym < kKeysymF1 + 12; ++sym) {
        if (KeyName(sym) == name)
            return sym;
    }
    for (const NamedKey& k : kOtherKeys) {
        if (name == k.name)
            return k.keysym;
    }
    return 0;
}

std::wstring Trimmed(std::wstring_view text) {
    const auto first = text.find_first_not_of(L" \t");
    if (first == std::wstring_view::npos)
        return L"";
    const auto last = text.find_last_not_of(L" \t");
    std::wstring out(text.substr(first, last - first + 1));
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

}  // namespace

bool HasRequiredModifier(const HotKey& key) {
    return (key.modifiers & (kModCtrl | kModAlt | kModSuper)) != 0;
}

bool IsKnownKeysym(std::uint32_t keysym) {
    return !KeyName(keysym).empty();
}

std::wstring HotKeyName(const HotKey& key) {
    const std::wstring keyName = KeyName(key.keysym);
    if (keyName.empty())
        return L"";
    std::wstring out;
    for (const NamedModifier& m : kModifiers) {
        if ((key.modifiers & m.mask) != 0)
            out += std::wstring(m.name) + L" + ";
    }
    return out + keyName;
}

std::optional<HotKey> ParseHotKey(std::wstring_view name) {
    // Modifiers, each followed by "+", then the key (no key is named "+").
    HotKey key{0, 0};
    std::size_t plus = 0;
    while ((plus = name.find(L'+')) != std::wstring_view::npos) {
        const std::wstring part = Trimmed(name.substr(0, plus));
        const auto* m = std::find_if(kModifiers.begin(), kModifiers.end(),
                                     [&](const NamedModifier& n) { return part == n.name; });
        if (m == kModifiers.end())
            return std::nullopt;
        key.modifiers |= m->mask;
        name.remove_prefix(plus + 1);
    }
    key.keysym = KeysymOfName(Trimmed(name));
    if (key.keysym == 0 || !HasRequiredModifier(key))
        return std::nullopt;
    return key;
}

std::uint32_t KeysymOfQtKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return static_cast<std::uint32_t>(qtKey - Qt::Key_A + 'a');
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return static_cast<std::uint32_t>(qtKey);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return kKeysymF1 + static_cast<std::uint32_t>(qtKey - Qt::Key_F1);
    for (const NamedKey& k : kOtherKeys) {
        if (k.qtKey == qtKey)
            return k.keysym;
    }
    return 0;
}

HotKey LoadHotKey(const std::wstring& configPath) {
    if (configPath.empty())
        return kDefaultHotKey;
    const std::wstring value =
        platform::GetPrivateProfileString(kSettingsSection, kSettingsHotKeyKey, L"", configPath);
    if (value.empty())
        return kDefaultHotKey;
    if (const std::optional<HotKey> key = ParseHotKey(value))
        return *key;
    std::fprintf(stderr, "KelsorOCR: config.ini: unusable hotkey \"%s\", using %s\n",
                 qPrintable(QString::fromStdWString(value)),
                 qPrintable(QString::fromStdWString(HotKeyName(kDefaultHotKey))));
    return kDefaultHotKey;
}

bool SaveHotKey(const std::wstring& configPath, const HotKey& key) {
    return !configPath.empty() &&
           platform::WritePrivateProfileString(kSettingsSection, kSettingsHotKeyKey,
                                               HotKeyName(key), configPath);
}

}  // namespace kelsor::shell
