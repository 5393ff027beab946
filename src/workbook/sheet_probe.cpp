#include "workbook/sheet_probe.h"

#include "platform/files.h"

namespace workbook {

std::optional<SheetProbe> probeSheetFile(const std::string& path) {
    namespace pdb = foundation::pdb;
    auto file = platform::File::open(path, platform::File::Mode::Read);
    if (!file) return std::nullopt;
    uint8_t head[pdb::kHeaderSize];
    SheetProbe probe;
    if (!file->readExact(head, sizeof head) || !foundation::parsePdbHeader(head, probe.header))
        return std::nullopt;
    if (probe.header.numRecords == 0) return probe;  // no record 0, no book header
    uint8_t entry[pdb::kEntrySize];
    if (!file->readExact(entry, sizeof entry)) return probe;
    uint64_t offset = foundation::loadBE32(entry);
    probe.hasBookHeader =
        file->seek(offset + kKeySize) && file->readExact(probe.bookHeader.data(), probe.bookHeader.size());
    return probe;
}

}  // namespace workbook
