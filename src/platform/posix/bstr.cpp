// OLE byte strings: a 4-byte little-endian byte count, the bytes, two NULs.
#include "platform/bstr.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "foundation/byteorder.h"

namespace {

constexpr size_t kPrefixSize = 4;  // byte count in front of the data
constexpr size_t kSuffixSize = 2;  // two NUL bytes after the data

uint8_t* blockOf(BSTR text) { return reinterpret_cast<uint8_t*>(text) - kPrefixSize; }

}  // namespace

extern "C" {

__attribute__((visibility("default"))) BSTR SysAllocStringByteLen(const char* bytes, unsigned int length) {
    if (size_t(length) > SIZE_MAX - kPrefixSize - kSuffixSize) return nullptr;
    auto* block = static_cast<uint8_t*>(std::malloc(kPrefixSize + size_t(length) + kSuffixSize));
    if (!block) return nullptr;
    foundation::storeLE32(block, length);
    uint8_t* data = block + kPrefixSize;
    if (bytes) std::memcpy(data, bytes, length);
    else std::memset(data, 0, length);
    data[length] = 0;
    data[length + 1] = 0;
    return reinterpret_cast<BSTR>(data);
}

__attribute__((visibility("default"))) unsigned int SysStringByteLen(BSTR text) {
    if (!text) return 0;
    return foundation::loadLE32(blockOf(text));
}

__attribute__((visibility("default"))) void SysFreeString(BSTR text) {
    if (text) std::free(blockOf(text));
}

}  // extern "C"

namespace platform {

BSTR allocByteString(std::string_view bytes) {
    if (bytes.size() > UINT32_MAX - kPrefixSize - kSuffixSize) return nullptr;
    return SysAllocStringByteLen(bytes.data(), static_cast<unsigned int>(bytes.size()));
}

std::string_view byteStringView(BSTR text) {
    if (!text) return {};
    return std::string_view(text, SysStringByteLen(text));
}

std::string_view byteStringText(BSTR text) {
    std::string_view all = byteStringView(text);
    size_t nul = all.find('\0');
    return nul == std::string_view::npos ? all : all.substr(0, nul);
}

bool replaceByteString(BSTR& field, std::string_view bytes) {
    BSTR fresh = allocByteString(bytes);
    SysFreeString(field);
    field = fresh;
    return fresh != nullptr;
}

void clearByteString(BSTR& field) {
    SysFreeString(field);
    field = nullptr;
}

}  // namespace platform
