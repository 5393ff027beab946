// OLE byte strings: a 4-byte little-endian byte count, the bytes, two NULs.
// Windows has these in oleaut32; here the libraries define and export them.
#include "platform/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/byteorder.h"
#include "platform_os.h"

namespace {

constexpr size_t kPrefixSize = 4;  // byte count in front of the data
constexpr size_t kSuffixSize = 2;  // two NUL bytes after the data

uint8_t* blockOf(BSTR text) { return reinterpret_cast<uint8_t*>(text) - kPrefixSize; }

}  // namespace

extern "C" {

PLATFORM_EXPORT BSTR SysAllocStringByteLen(const char* bytes, unsigned int length) {
    if (size_t(length) > SIZE_MAX - kPrefixSize - kSuffixSize) return nullptr;
    auto* block = static_cast<uint8_t*>(std::malloc(kPrefixSize + size_t(length) + kSuffixSize));
    if (!block) return nullptr;
    platform::storeLE32(block, length);
    uint8_t* data = block + kPrefixSize;
    if (bytes)
        std::memcpy(data, bytes, length);
    else
        std::memset(data, 0, length);
    data[length] = 0;
    data[length + 1] = 0;
    return reinterpret_cast<BSTR>(data);
}

PLATFORM_EXPORT unsigned int SysStringByteLen(BSTR text) {
    if (!text) return 0;
    return platform::loadLE32(blockOf(text));
}

PLATFORM_EXPORT void SysFreeString(BSTR text) {
    if (text) std::free(blockOf(text));
}

}  // extern "C"
