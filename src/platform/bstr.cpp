// Byte string helpers over SysAllocStringByteLen, SysStringByteLen and
// SysFreeString (oleaut32 on Windows, posix/bstr.cpp elsewhere).
#include "platform/bstr.h"

#include <cstdint>

namespace platform {

namespace {

constexpr size_t kOverhead = 4 + 2;  // the byte count in front, two NULs after

}  // namespace

BSTR allocByteString(std::string_view bytes) {
    if (bytes.size() > UINT32_MAX - kOverhead) return nullptr;
    return SysAllocStringByteLen(bytes.data(), static_cast<unsigned int>(bytes.size()));
}

std::string_view byteStringView(BSTR text) {
    if (!text) return {};
    return std::string_view(reinterpret_cast<const char*>(text), SysStringByteLen(text));
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
