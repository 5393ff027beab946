// platform/bstr.h - byte strings: OLE automation strings holding ANSI bytes.
//
// Memory layout (as oleaut32 lays out a BSTR): a 4-byte little-endian byte
// count, the bytes, then two NUL bytes; the BSTR points at the first byte of
// data. On Windows the functions come from oleaut32; on Linux the platform
// layer defines them (src/platform/posix/bstr.cpp) and the libraries export
// them.
#pragma once

#include <string>
#include <string_view>

#include "brightfold.h"

namespace platform {

// Allocates a byte string holding exactly these bytes (may contain NULs).
// Returns nullptr when memory is short.
BSTR allocByteString(std::string_view bytes);
// The bytes of a byte string (empty for nullptr).
std::string_view byteStringView(BSTR text);
// The bytes up to the first NUL, as C code reads a string field.
std::string_view byteStringText(BSTR text);
// Replaces the string in a record field: frees the old one, stores the new.
// Returns false (and leaves the field without a string) when allocation fails.
bool replaceByteString(BSTR& field, std::string_view bytes);
// Frees the string in a field and clears it.
void clearByteString(BSTR& field);

}  // namespace platform
