// Fuzz target for the registry hive text: any bytes parse, and a rewrite is
// stable (writing what was read, reading it and writing again gives the same
// text), so repeated registry calls never drift or lose more than the first.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hive_file.h"

namespace {

namespace hive = platform::hive;

// Every key of `before` is in `after`, with every text and number value unchanged.
void expectKept(const std::vector<hive::Key>& before, const std::vector<hive::Key>& after) {
    for (const hive::Key& key : before) {
        const hive::Key* again = hive::findChild(after, key.name);
        if (!again) std::abort();
        for (const hive::Entry& entry : key.entries) {
            if (entry.kind == hive::Entry::Kind::Raw) continue;
            const hive::Entry* copy = hive::findValue(*again, entry.name);
            if (!copy || copy->kind != entry.kind || copy->text != entry.text || copy->number != entry.number)
                std::abort();
        }
        expectKept(key.children, again->children);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    hive::Hive first = hive::parse(text);
    std::string once = hive::serialize(first);
    hive::Hive second = hive::parse(once);
    if (hive::serialize(second) != once) std::abort();
    expectKept(first.roots, second.roots);
    return 0;
}
