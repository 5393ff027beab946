// libInstaide: the install aide stand-in, on the hotsync stand-in's users.
// No C++ exception leaves an export.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "buffer_text.h"
#include "foundation/hotsync_users.h"
#include "palm_modules.h"
#include "platform_os.h"

using palmdesktop::putText;

namespace {

std::optional<foundation::HotSyncUser> userNamed(const char* name) {
    if (!name) return std::nullopt;
    return foundation::findUser(name);
}

}  // namespace

extern "C" {

PLATFORM_EXPORT int16_t WINAPI PltGetUserCount(void) {
    try {
        const size_t count = foundation::readUsers().size();
        return int16_t(count > size_t(INT16_MAX) ? INT16_MAX : count);
    } catch (...) {
        return 0;
    }
}

PLATFORM_EXPORT int16_t WINAPI PltGetUser(uint32_t index, char* name, int16_t* size) {
    try {
        const std::vector<foundation::HotSyncUser> users = foundation::readUsers();
        if (index >= users.size()) return kPalmNotFound;
        const std::string& text = users[index].name;
        if (text.size() > size_t(INT16_MAX)) return kPalmBufferTooSmall;
        const int32_t rc = putText(text, name, size);
        return rc == kPalmOk ? int16_t(text.size()) : int16_t(rc);
    } catch (...) {
        return kPalmFailed;
    }
}

PLATFORM_EXPORT int32_t WINAPI PltGetUserDirectory(const char* user, char* folder, int32_t* size) {
    try {
        const auto found = userNamed(user);
        if (!found) return user ? kPalmNotFound : kPalmBadArgument;
        return putText(found->folder, folder, size);
    } catch (...) {
        return kPalmFailed;
    }
}

PLATFORM_EXPORT int32_t WINAPI PlmGetUserIDFromName(const char* user, uint32_t* id) {
    try {
        if (!id) return kPalmBadArgument;
        const auto found = userNamed(user);
        if (!found) return user ? kPalmNotFound : kPalmBadArgument;
        const std::optional<uint32_t> parsed = foundation::parseHotSyncId(found->id);
        if (!parsed) return kPalmNotFound;
        *id = *parsed;
        return kPalmOk;
    } catch (...) {
        return kPalmFailed;
    }
}

}  // extern "C"
