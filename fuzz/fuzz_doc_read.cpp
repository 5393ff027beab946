// A Palm Doc database as it may come from a Backup folder: any bytes.
// Opening it and reading every record through ReadDoc must stay in bounds,
// hand out no more than the record size per call (nothing, with status -5,
// for a damaged record), and end with status -6 after as many calls as
// record 0 counts, or refuse the database at the first call.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "foundation/pdb.h"
#include "platform/bstr.h"
#include "text/doc_state.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    foundation::PdbImage image;
    if (!foundation::loadPdbFromBytes(image, std::span<const uint8_t>(data, size))) return 0;
    text::DocState state;
    if (text::openDocImage(state, std::move(image)) != 0) {
        if (state.open != text::DocDirection::None) std::abort();
        return 0;
    }
    const uint32_t count = state.header.recordCount;
    const size_t recordSize = state.header.recordSize;
    DocTransferRecord record{};
    uint32_t pieces = 0;
    for (;;) {
        if (text::readDoc(state, &record) != 0) std::abort();
        if (record.status == BF_EOF) break;
        if (record.status != 0 && (record.status != BF_ERR_CORRUPT || record.data != nullptr)) std::abort();
        if (record.length < 0 || size_t(record.length) > recordSize) std::abort();
        if (platform::byteStringView(record.data).size() != size_t(record.length)) std::abort();
        if (++pieces > count) std::abort();
    }
    if (pieces != count || record.data != nullptr || state.open != text::DocDirection::None) std::abort();
    return 0;
}
