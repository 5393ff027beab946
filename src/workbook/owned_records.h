// workbook/owned_records.h - records of gridlink.h that free their byte
// strings when they go away.
//
// The exports hand out byte strings in a record's string fields, and whoever
// holds the record frees them. Owned<Record> starts zeroed, frees every
// string field when it is destroyed, and cannot be copied (two owners would
// free the same strings). It is the record itself, so it goes wherever a
// Record* is expected. By default the strings are freed with this process's
// own string functions; a host that loaded the library passes a Release that
// frees through the library's SysFreeString. Header-only, so the stand-ins
// can use it without linking the libraries.
#pragma once

#include <utility>

#include "gridlink.h"
#include "platform/bstr.h"

namespace workbook {

// Calls f on each string field of a record.
template <class F>
void forEachByteString(SheetRecord& r, F& f) {
    f(r.sheetName);
    f(r.currencyText);
}
template <class F>
void forEachByteString(CellRecord& r, F& f) {
    f(r.text);
    f(r.currencyText);
}
template <class F>
void forEachByteString(TextRecord& r, F& f) {
    f(r.text);
}

// Frees one string and clears the field.
struct ReleaseByteString {
    void operator()(BSTR& field) const { platform::clearByteString(field); }
};

template <class Record, class Release = ReleaseByteString>
class Owned : public Record {
public:
    explicit Owned(Release release = Release()) : Record{}, release_(std::move(release)) {}
    ~Owned() { forEachByteString(static_cast<Record&>(*this), release_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

private:
    Release release_;
};

using OwnedSheet = Owned<SheetRecord>;
using OwnedCell = Owned<CellRecord>;
using OwnedText = Owned<TextRecord>;

}  // namespace workbook
