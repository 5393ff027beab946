// TBRegistry.dat as it may lie on disk: any bytes. Reading must stay in
// bounds, and what is read must write back to a file that reads the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "foundation/link_file.h"
#include "foundation/link_registry.h"

namespace {

std::string loadAndWrite(const std::string& text) {
    foundation::LinkRegistry registry(foundation::Product{"Tabulo"}, "TBRegistry.dat");
    foundation::LinkFileText file(text);
    for (const char* name : {"Ann", "Bo", "", "[x]"}) {
        foundation::UserEntry user;
        user.name = name;
        registry.readUserSection(file, user);
        // Keep the device class to one digit so that it can be written back.
        user.deviceClass = user.deviceClass < 0 || user.deviceClass > 9 ? 0 : user.deviceClass;
        registry.userList.push_back(std::move(user));
    }
    return foundation::toDiskText(registry.serialize());  // as the save writes it
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string once = loadAndWrite(text);
    std::string twice = loadAndWrite(once);
    if (once != twice) std::abort();
    return 0;
}
