// installer/registry_lookup.h - the installer's read-only registry lookup.
//
// The key path is a root name, "\", then key levels; "HKEY_LOCAL_MACHINE"
// (case exact) is the machine hive, any other root the current user's. With
// no value name it only tests that the key exists (number 1, text "*").
// Numbers fill `number`; text values fill `text` (values of up to 2048 bytes
// are read). The text is emptied first. Returns 0 or the platform's error.
// The read-or-create lookup and the key deletion are the foundation's
// RegistryValue / RegistryRead / RegistryDeleteKey.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace installer {

long RegistryLookup(std::string_view keyPath, std::optional<std::string_view> valueName, std::string* text,
                    int32_t* number);

// Convenience: the text of a value (empty when missing or not text).
std::string lookupText(std::string_view keyPath, std::string_view valueName);
// Whether the key exists.
bool keyExists(std::string_view keyPath);

}  // namespace installer
