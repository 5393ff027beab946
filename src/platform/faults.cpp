// Fault seam: per-operation counters that make platform calls fail on demand.
#include "platform/faults.h"
#include "platform/text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

// Windows' C library has no EDQUOT: a quota that is full is a full disk there.
#ifndef EDQUOT
#define EDQUOT ENOSPC
#endif

namespace platform::faults {
namespace {

struct Slot {
    bool armed = false;
    int error = 0;
    int skip = 0;
    int times = -1;  // failures still to give; -1: without end
};

Slot g_slots[static_cast<int>(Op::Count)];
bool g_environmentRead = false;

constexpr const char* kOpNames[] = {"open",   "read", "write",   "rename",  "copy",
                                    "delete", "lock", "listdir", "registry"};
static_assert(sizeof kOpNames / sizeof kOpNames[0] == static_cast<size_t>(Op::Count));

// A decimal number of at most ten characters, possibly negative; false for
// anything else.
bool parseNumber(std::string_view text, int& out) {
    constexpr DecimalRules kFaultRules{.minus = true, .maxLength = 10};
    const std::optional<uint64_t> value = parseDecimal(text, kFaultRules);
    if (!value) return false;
    out = int(int32_t(uint32_t(*value)));
    return true;
}

// An error number given as a number or as one of the common symbolic names.
bool parseError(std::string_view text, int& out) {
    struct Named {
        const char* name;
        int value;
    };
    static const Named kNames[] = {
        {"EPERM", EPERM},     {"ENOENT", ENOENT}, {"EIO", EIO},       {"EAGAIN", EAGAIN},
        {"ENOMEM", ENOMEM},   {"EACCES", EACCES}, {"EBUSY", EBUSY},   {"EEXIST", EEXIST},
        {"ENOTDIR", ENOTDIR}, {"EISDIR", EISDIR}, {"EINVAL", EINVAL}, {"EMFILE", EMFILE},
        {"ENOSPC", ENOSPC},   {"EROFS", EROFS},   {"EDQUOT", EDQUOT}, {"ENOTEMPTY", ENOTEMPTY},
        {"EBADF", EBADF},     {"ENOLCK", ENOLCK},
    };
    for (const Named& n : kNames)
        if (sameNoCase(text, n.name)) {
            out = n.value;
            return true;
        }
    return parseNumber(text, out) && out > 0;
}

// Applies BRIGHTFOLD_FAULTS="op:errno[:skip[:times]],...". Malformed entries
// are ignored so that a typo never breaks the program under test.
void applyEnvironment(std::string_view spec) {
    while (!spec.empty()) {
        size_t comma = spec.find(',');
        std::string_view item = spec.substr(0, comma);
        spec = comma == std::string_view::npos ? std::string_view() : spec.substr(comma + 1);

        std::string_view fields[4];
        size_t count = 0;
        while (count < 4) {
            size_t colon = item.find(':');
            fields[count++] = item.substr(0, colon);
            if (colon == std::string_view::npos) {
                item = {};
                break;
            }
            item = item.substr(colon + 1);
        }
        if (!item.empty() || count < 2) continue;  // too many or too few fields
        int op = -1;
        for (int i = 0; i < static_cast<int>(Op::Count); ++i)
            if (sameNoCase(fields[0], kOpNames[i])) op = i;
        int error = 0, skip = 0, times = -1;
        if (op < 0 || !parseError(fields[1], error)) continue;
        if (count > 2 && (!parseNumber(fields[2], skip) || skip < 0)) continue;
        if (count > 3 && (!parseNumber(fields[3], times) || times < -1)) continue;
        g_slots[op] = Slot{true, error, skip, times};
    }
}

void readEnvironmentOnce() {
    if (g_environmentRead) return;
    g_environmentRead = true;
    if (const char* spec = std::getenv("BRIGHTFOLD_FAULTS")) applyEnvironment(spec);
}

Slot* slotOf(Op op) {
    int index = static_cast<int>(op);
    if (index < 0 || index >= static_cast<int>(Op::Count)) return nullptr;
    return &g_slots[index];
}

}  // namespace

void arm(Op op, int error, int skip, int times) {
    readEnvironmentOnce();
    if (Slot* slot = slotOf(op)) *slot = Slot{true, error, skip < 0 ? 0 : skip, times < -1 ? -1 : times};
}

void disarm(Op op) {
    readEnvironmentOnce();
    if (Slot* slot = slotOf(op)) *slot = Slot{};
}

void disarmAll() {
    readEnvironmentOnce();
    for (Slot& slot : g_slots) slot = Slot{};
}

bool shouldFail(Op op) {
    readEnvironmentOnce();
    Slot* slot = slotOf(op);
    if (!slot || !slot->armed) return false;
    if (slot->skip > 0) {
        --slot->skip;
        return false;
    }
    if (slot->times == 0) {
        slot->armed = false;
        return false;
    }
    if (slot->times > 0) --slot->times;
    errno = slot->error;
    return true;
}

}  // namespace platform::faults
