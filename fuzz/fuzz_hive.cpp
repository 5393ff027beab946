// Fuzz target for the registry hive text: any bytes parse, and whatever was
// read survives a write and a read unchanged: the same keys, and in each the
// same entries (kind, name, text, number, raw lines) in the same order. Then
// writing again gives the same text, so repeated registry calls never drift.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hive_file.h"

namespace {

namespace hive = platform::hive;

bool sameEntry(const hive::Entry& a, const hive::Entry& b) {
    if (a.kind != b.kind || a.name != b.name) return false;
    switch (a.kind) {
        case hive::Entry::Kind::String:
            return a.text == b.text;
        case hive::Entry::Kind::Dword:
            return a.number == b.number;
        default:
            return a.lines == b.lines;
    }
}

// The keys of `after` are those of `before` with the same entries. Only
// whether a key was named in the file may differ: a level the file skipped is
// written out.
void expectSame(const std::vector<hive::Key>& before, const std::vector<hive::Key>& after) {
    if (before.size() != after.size()) std::abort();
    for (size_t k = 0; k < before.size(); ++k) {
        const hive::Key& key = before[k];
        const hive::Key& again = after[k];
        if (key.name != again.name || key.entries.size() != again.entries.size()) std::abort();
        for (size_t e = 0; e < key.entries.size(); ++e)
            if (!sameEntry(key.entries[e], again.entries[e])) std::abort();
        expectSame(key.children, again.children);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    hive::Hive first = hive::parse(text);
    std::string once = hive::serialize(first);
    hive::Hive second = hive::parse(once);
    if (second.preamble != first.preamble) std::abort();
    expectSame(first.roots, second.roots);
    if (hive::serialize(second) != once) std::abort();
    return 0;
}
