// REGEDIT4 hive text: one linear pass to parse, one to write.
#include "platform/hive_file.h"

#include "platform/text.h"

#include <unordered_map>

namespace platform::hive {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimRight(std::string_view text) {
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    return text;
}

bool isBlankLine(std::string_view line) { return trimRight(line).empty(); }

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Splits text into lines at LF, dropping one CR before each LF.
std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = next;
    }
    return lines;
}

// "[A\B\C]" -> {"A","B","C"}; false when the line is not a key line.
bool parseKeyLine(std::string_view line, std::vector<std::string_view>& parts) {
    parts.clear();
    if (line.empty() || line[0] != '[') return false;
    std::string_view rest = trimRight(line);
    if (rest.size() < 2 || rest.back() != ']') return false;
    std::string_view inner = rest.substr(1, rest.size() - 2);
    size_t start = 0;
    while (start <= inner.size()) {
        size_t end = inner.find('\\', start);
        if (end == std::string_view::npos) end = inner.size();
        if (end > start) parts.push_back(inner.substr(start, end - start));
        start = end + 1;
    }
    return !parts.empty() && parts.size() <= kMaxKeyDepth;
}

// A quoted text with \\ and \" escapes starting at text[pos] == '"'. On
// success pos is just past the closing quote.
bool parseQuoted(std::string_view text, size_t& pos, std::string& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != '"') return false;
    size_t i = pos + 1;
    while (i < text.size()) {
        size_t stop = i;
        while (stop < text.size() && text[stop] != '"' && text[stop] != '\\') ++stop;
        if (stop == text.size()) return false;
        out.append(text.substr(i, stop - i));
        if (text[stop] == '"') {
            pos = stop + 1;
            return true;
        }
        if (stop + 1 < text.size() && (text[stop + 1] == '\\' || text[stop + 1] == '"')) {
            out += text[stop + 1];
            i = stop + 2;
        } else {
            out += '\\';  // a lone backslash stands for itself
            i = stop + 1;
        }
    }
    return false;
}

// The 1 to 8 hex digits of a dword, nothing else but trailing blanks.
bool parseDword(std::string_view data, uint32_t& out) {
    data = trimRight(data);
    if (data.empty() || data.size() > kDwordDigits) return false;
    uint32_t value = 0;
    for (char c : data) {
        int digit = hexDigit(c);
        if (digit < 0) return false;
        value = (value << 4) | uint32_t(digit);
    }
    out = value;
    return true;
}

// A line ended by the continuation mark "\" (blanks and CR after it aside).
bool endsWithContinuation(std::string_view line) {
    line = trimRight(line);
    return !line.empty() && line.back() == '\\';
}

// hex(1): bytes over one or more lines, each but the last ended by "\". The
// last line may end with "\" too when the value stopped at a blank line, a key
// or value line, or the end of the file: that mark continues into nothing.
bool parseTextHex(const std::vector<std::string>& lines, size_t dataOffset, std::string& out) {
    std::string list;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view piece = lines[i];
        if (i == 0) piece = piece.substr(dataOffset);
        piece = trimLeft(trimRight(piece));
        if (i + 1 < lines.size() && !endsWithContinuation(piece)) return false;
        if (endsWithContinuation(piece)) piece.remove_suffix(1);
        list.append(piece);
    }
    out.clear();
    std::string_view rest = trimRight(list);
    while (!rest.empty()) {
        size_t comma = rest.find(',');
        std::string_view token = trimLeft(trimRight(rest.substr(0, comma)));
        if (token.empty() || token.size() > 2) return false;
        int value = 0;
        for (char c : token) {
            int digit = hexDigit(c);
            if (digit < 0) return false;
            value = value * 16 + digit;
        }
        out += char(value);
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    if (!out.empty() && out.back() == '\0') out.pop_back();  // the terminating NUL
    return true;
}

bool needsHex(std::string_view text) {
    for (char c : text)
        if (c == '\r' || c == '\n' || c == '\0') return true;
    return false;
}

void appendEscaped(std::string& out, std::string_view text) {
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
}

void appendValueName(std::string& out, std::string_view name) {
    if (name.empty()) {
        out += '@';
        return;
    }
    out += '"';
    appendEscaped(out, name);
    out += '"';
}

// hex(1): the bytes and a terminating 00, continued with "\" past the
// line width as regedit does. lineStart is where the current line begins.
void appendTextHex(std::string& out, std::string_view text, size_t lineStart) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += kTextHexPrefix;
    size_t count = text.size() + 1;  // with the terminating NUL
    for (size_t i = 0; i < count; ++i) {
        unsigned char byte = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        if (i > 0 && out.size() - lineStart + 3 > kHexLineWidth) {
            out += '\\';
            out += kLineEnd;
            lineStart = out.size();
            out += "  ";
        }
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
        if (i + 1 < count) out += ',';
    }
}

void appendEntry(std::string& out, const Entry& entry) {
    switch (entry.kind) {
        case Entry::Kind::String: {
            size_t lineStart = out.size();
            appendValueName(out, entry.name);
            out += '=';
            if (needsHex(entry.text)) {
                appendTextHex(out, entry.text, lineStart);
            } else {
                out += '"';
                appendEscaped(out, entry.text);
                out += '"';
            }
            out += kLineEnd;
            break;
        }
        case Entry::Kind::Dword: {
            static constexpr char kDigits[] = "0123456789abcdef";
            appendValueName(out, entry.name);
            out += '=';
            out += kDwordPrefix;
            for (int shift = 28; shift >= 0; shift -= 4) out += kDigits[(entry.number >> shift) & 15];
            out += kLineEnd;
            break;
        }
        case Entry::Kind::Unsupported:
        case Entry::Kind::Raw:
            for (const std::string& line : entry.lines) {
                out += line;
                out += kLineEnd;
            }
            // A value that ended at a blank line while its last line asked for a
            // continuation keeps that blank line, so the line written after it is
            // not read as part of it.
            if (entry.kind == Entry::Kind::Unsupported && !entry.lines.empty() &&
                endsWithContinuation(entry.lines.back()))
                out += kLineEnd;
            break;
    }
}

void appendKey(std::string& out, const Key& key, std::string& path, bool isRoot) {
    size_t pathLength = path.size();
    if (!isRoot) path += '\\';
    path += key.name;
    if (!isRoot || key.listed || !key.entries.empty()) {
        out += '[';
        out += path;
        out += ']';
        out += kLineEnd;
        for (const Entry& entry : key.entries) appendEntry(out, entry);
        out += kLineEnd;
    }
    for (const Key& child : key.children) appendKey(out, child, path, false);
    path.resize(pathLength);
}

// Lookups while parsing, so that a file with very many keys or values reads
// in linear time: (key number, lower-case name) -> position among the
// children or entries of that key. Key numbers start at 1; 0 is the hive.
class ParseIndex {
public:
    // The child of `parent` named `name`, created when missing.
    Key& child(std::vector<Key>& level, size_t parentId, std::string_view name, size_t& childId) {
        auto [it, added] = keys_.try_emplace(slot(parentId, name), Found{level.size(), nextId_});
        if (added) {
            level.push_back(Key{std::string(name), false, {}, {}});
            ++nextId_;
        }
        childId = it->second.id;
        return level[it->second.position];
    }

    // Adds a value entry to a key; a later value of the same name replaces the
    // earlier one in its place, as an import of the file would.
    void addEntry(Key& key, size_t keyId, Entry&& entry) {
        if (entry.kind != Entry::Kind::Raw) {
            auto [it, added] = values_.try_emplace(slot(keyId, entry.name), key.entries.size());
            if (!added) {
                key.entries[it->second] = std::move(entry);
                return;
            }
        }
        key.entries.push_back(std::move(entry));
    }

private:
    struct Found {
        size_t position;
        size_t id;
    };
    struct Slot {
        size_t owner;       // key number
        std::string lower;  // the name in lower case (short names stay inline)
        bool operator==(const Slot& other) const { return owner == other.owner && lower == other.lower; }
    };
    struct SlotHash {
        size_t operator()(const Slot& slot) const {
            return std::hash<std::string>()(slot.lower) ^ (slot.owner * 0x9E3779B97F4A7C15ull);
        }
    };
    static Slot slot(size_t owner, std::string_view name) {
        Slot result{owner, std::string(name)};
        for (char& c : result.lower) c = lowerAscii(c);
        return result;
    }
    std::unordered_map<Slot, Found, SlotHash> keys_;
    std::unordered_map<Slot, size_t, SlotHash> values_;
    size_t nextId_ = 1;
};

// A line that continues the value line before it (a line ended by "\"):
// neither blank nor the start of a key or value.
bool isContinuation(std::string_view line) {
    if (isBlankLine(line)) return false;
    return line[0] != '[' && line[0] != '"' && line[0] != '@';
}

}  // namespace

Key* findChild(std::vector<Key>& keys, std::string_view name) {
    for (Key& key : keys)
        if (sameNoCase(key.name, name)) return &key;
    return nullptr;
}

const Key* findChild(const std::vector<Key>& keys, std::string_view name) {
    for (const Key& key : keys)
        if (sameNoCase(key.name, name)) return &key;
    return nullptr;
}

Entry* findValue(Key& key, std::string_view name) {
    for (Entry& entry : key.entries)
        if (entry.kind != Entry::Kind::Raw && sameNoCase(entry.name, name)) return &entry;
    return nullptr;
}

const Entry* findValue(const Key& key, std::string_view name) {
    for (const Entry& entry : key.entries)
        if (entry.kind != Entry::Kind::Raw && sameNoCase(entry.name, name)) return &entry;
    return nullptr;
}

Hive parse(std::string_view text) {
    Hive hive;
    std::vector<std::string_view> lines = splitLines(text);
    std::vector<std::string_view> parts;
    ParseIndex index;
    Key* current = nullptr;
    size_t currentId = 0;
    bool seenContent = false;

    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (isBlankLine(line)) continue;
        if (!seenContent) {
            seenContent = true;
            if (trimRight(line) == kHeader) continue;
        }

        if (parseKeyLine(line, parts)) {
            std::vector<Key>* level = &hive.roots;
            Key* key = nullptr;
            size_t id = 0;
            for (std::string_view part : parts) {
                key = &index.child(*level, id, part, id);
                level = &key->children;
            }
            key->listed = true;
            current = key;
            currentId = id;
            continue;
        }

        Entry entry;
        size_t pos = 0;
        bool named = false;
        if (line[0] == '@') {
            pos = 1;
            named = true;
        } else if (line[0] == '"') {
            named = parseQuoted(line, pos, entry.name);
        }
        if (named) {
            while (pos < line.size() && isBlank(line[pos])) ++pos;
            named = pos < line.size() && line[pos] == '=';
            ++pos;
        }
        if (named) {
            while (pos < line.size() && isBlank(line[pos])) ++pos;
            std::string_view data = line.substr(pos);
            entry.kind = Entry::Kind::Unsupported;
            if (!data.empty() && data[0] == '"') {
                size_t end = 0;
                if (parseQuoted(data, end, entry.text) && trimRight(data.substr(end)).empty())
                    entry.kind = Entry::Kind::String;
            } else if (startsWithNoCase(data, kDwordPrefix)) {
                if (parseDword(data.substr(kDwordPrefix.size()), entry.number))
                    entry.kind = Entry::Kind::Dword;
            }
            if (entry.kind == Entry::Kind::Unsupported) {
                // A value of another type may run over continuation lines.
                entry.lines.emplace_back(line);
                while (endsWithContinuation(entry.lines.back()) && i + 1 < lines.size() &&
                       isContinuation(lines[i + 1]))
                    entry.lines.emplace_back(lines[++i]);
                if (startsWithNoCase(data, kTextHexPrefix) &&
                    parseTextHex(entry.lines, pos + kTextHexPrefix.size(), entry.text))
                    entry.kind = Entry::Kind::String;
            }
        } else {
            entry.kind = Entry::Kind::Raw;
            entry.name.clear();
            entry.lines.emplace_back(line);
        }

        if (!current) {  // a line outside any key, a value included: kept as it stood
            if (entry.lines.empty()) entry.lines.emplace_back(line);
            hive.preamble.insert(hive.preamble.end(), entry.lines.begin(), entry.lines.end());
            continue;
        }
        if (entry.kind == Entry::Kind::String || entry.kind == Entry::Kind::Dword) entry.lines.clear();
        index.addEntry(*current, currentId, std::move(entry));
    }
    return hive;
}

std::string serialize(const Hive& hive) {
    std::string out;
    out += kHeader;
    out += kLineEnd;
    out += kLineEnd;
    if (!hive.preamble.empty()) {
        for (const std::string& line : hive.preamble) {
            out += line;
            out += kLineEnd;
        }
        out += kLineEnd;
    }
    std::string path;
    for (const Key& root : hive.roots) appendKey(out, root, path, true);
    return out;
}

}  // namespace platform::hive
