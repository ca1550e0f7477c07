#pragma once

#include <string>

// The registry layer: a small key/value store with the Windows registry's
// lookup (root, key path, value name). Each root is one text file, one
// "[key path]" section per key and one "name=value" line per string value,
// stored as UTF-8 whatever the process code page is, so that programs with
// different locales (the client and the companion's installer) share it.
// Key paths and value names compare case-insensitively (ASCII), as on Windows.
//
// The files live in $KELSOR_REGISTRY_DIR, or else in
// $XDG_DATA_HOME/KelsorRegistry/ (default ~/.local/share/KelsorRegistry/).
namespace kelsor::platform {

enum class RegistryRoot {
    LocalMachine,  // HKEY_LOCAL_MACHINE
    CurrentUser,   // HKEY_CURRENT_USER
};

// Full path of the file holding `root`.
std::string RegistryFilePath(RegistryRoot root);

// True when the key exists (it has been written and not deleted).
bool RegistryKeyExists(RegistryRoot root, const std::wstring& keyPath);

// Reads one string value. False (and `value` untouched) when the key or the
// value is missing or the file cannot be read.
bool RegistryGetString(RegistryRoot root, const std::wstring& keyPath,
                       const std::wstring& valueName, std::wstring& value);

// Creates the key if needed and sets the value. Refuses (false) empty key
// paths, names holding "=", and any line break in key, name or value, which
// the file format cannot hold. The file is replaced atomically.
bool RegistrySetString(RegistryRoot root, const std::wstring& keyPath,
                       const std::wstring& valueName, const std::wstring& value);

// Deletes a key with all its values. True when the key is gone afterwards.
bool RegistryDeleteKey(RegistryRoot root, const std::wstring& keyPath);

}  // namespace kelsor::platform
