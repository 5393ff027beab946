// libCondMgr: the Conduit Manager stand-in, on the hotsync stand-in's
// notifier list. No C++ exception leaves an export.
#include <string>
#include <vector>

#include "buffer_text.h"
#include "foundation/hotsync_users.h"
#include "palm_modules.h"
#include "platform_os.h"

using palmdesktop::putText;

extern "C" {

PLATFORM_EXPORT int32_t WINAPI CmGetNotifierDll(int32_t index, char* name, int32_t* size) {
    try {
        const std::vector<std::string> list = foundation::readNotifiers();
        if (index < 0 || size_t(index) >= list.size()) return kPalmNotFound;
        return putText(list[size_t(index)], name, size);
    } catch (...) {
        return kPalmFailed;
    }
}

PLATFORM_EXPORT int32_t WINAPI CmSetNotifierDll(int32_t index, const char* name) {
    try {
        if (index < 0) return kPalmBadArgument;
        std::string message;
        if (name && *name)
            return foundation::setNotifier(size_t(index), name, message) ? kPalmOk : kPalmFailed;
        const std::vector<std::string> list = foundation::readNotifiers();
        if (size_t(index) >= list.size()) return kPalmNotFound;
        return foundation::removeNotifier(list[size_t(index)], message) ? kPalmOk : kPalmFailed;
    } catch (...) {
        return kPalmFailed;
    }
}

PLATFORM_EXPORT int32_t WINAPI CmRemoveConduitByName(const char* name) {
    return name ? kPalmNotFound : kPalmBadArgument;
}

PLATFORM_EXPORT int32_t WINAPI CmGetCreatorDirectory(const char* creator, char* folder, int32_t* size) {
    if (!creator || !folder || !size) return kPalmBadArgument;
    return kPalmNotFound;
}

PLATFORM_EXPORT int32_t WINAPI CmGetBackupConduit(char* name, int32_t* size) {
    if (!name || !size) return kPalmBadArgument;
    return kPalmNotFound;
}

PLATFORM_EXPORT int32_t WINAPI CmGetCreatorIDList(char* list, int32_t* size) {
    if (!list || !size || *size < 0) return kPalmBadArgument;
    *size = 0;
    return kPalmOk;
}

}  // extern "C"
