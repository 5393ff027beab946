// The installer's read-only registry lookup, on the platform registry.
#include "installer/registry_lookup.h"

#include "foundation/registry_access.h"
#include "platform/registry.h"

namespace installer {
namespace {

namespace reg = platform::registry;

constexpr size_t kMaxValueBytes = 2048;

}  // namespace

long RegistryLookup(std::string_view keyPath, std::optional<std::string_view> valueName, std::string* text,
                    int32_t* number) {
    if (text) text->clear();
    std::vector<std::string> parts = foundation::splitKeyPath(keyPath);
    reg::Root root = reg::Root::CurrentUser;
    if (!parts.empty() && parts.front() == "HKEY_LOCAL_MACHINE") root = reg::Root::LocalMachine;
    reg::KeyPath subkeys;
    if (!parts.empty()) subkeys.assign(parts.begin() + 1, parts.end());
    long rc = reg::openKey(root, subkeys);
    if (rc != reg::kSuccess) return rc;
    if (!valueName) {
        if (number) *number = 1;
        if (text) text->assign(1, '*');
        return reg::kSuccess;
    }
    reg::Value value;
    rc = reg::queryValue(root, subkeys, *valueName, value);
    if (rc != reg::kSuccess) return rc;
    if (value.type == reg::Value::Type::Dword) {
        if (number) *number = int32_t(value.number);
    } else if (text) {
        *text = value.text.substr(0, kMaxValueBytes);
        // Text ends at its first NUL, as a C string read from the value would.
        size_t nul = text->find('\0');
        if (nul != std::string::npos) text->resize(nul);
    }
    return reg::kSuccess;
}

std::string lookupText(std::string_view keyPath, std::string_view valueName) {
    std::string text;
    if (RegistryLookup(keyPath, valueName, &text, nullptr) != 0) return {};
    return text;
}

bool keyExists(std::string_view keyPath) {
    return RegistryLookup(keyPath, std::nullopt, nullptr, nullptr) == 0;
}

}  // namespace installer
