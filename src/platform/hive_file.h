// platform/hive_file.h - the registry hive as a REGEDIT4 text file (the
// registry of the POSIX platform; the parser itself needs no OS).
//
// File layout (lines end in CR LF when written; CR LF and LF are read):
//
//   REGEDIT4                                   header line
//                                              blank line
//   [HKEY_CURRENT_USER\Software\Brightfold]    one line per key, tree order:
//   "Name"="text"                                parents before children
//   "Count"=dword:0000000a                     text: \\ and \" escaped, other
//   @="default value"                            bytes as they are; dword: 8
//   "Blob"=hex:01,02,\                           lowercase hex digits; @: the
//     03                                         default value (name "")
//                                              blank line after every key
//
// Text that holds CR, LF or NUL bytes cannot stand between quotes on one line;
// it is written as hex(1): bytes ended by 00 (REG_SZ in hex) and read back as
// text. Any other line of a key that does not parse as text or dword (hex:,
// hex(2):, "-" deletions, comments, garbage), with its "\" continuation lines,
// is kept as raw lines of that key and written back unchanged. A blank line
// ends a value even after a "\" (which then continues into nothing); such a
// raw value is written back with the blank line after it. A raw line that
// still names a value ("Name"=... or @=...) is an unsupported value of that
// name. Lines before the first key other than the header are kept likewise.
//
// Key and value names compare without regard to ASCII case and keep the
// spelling they were created with. Keys named in the file may skip levels;
// the levels between exist implicitly and are written out on the next write.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform::hive {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kDwordPrefix = "dword:";
constexpr std::string_view kTextHexPrefix = "hex(1):";
constexpr size_t kDwordDigits = 8;
constexpr size_t kHexLineWidth = 76;  // a hex value line is continued past this column
// Deepest key, root included (Windows allows 512 levels). A deeper key line is
// kept as a raw line, so a hostile file cannot make the tree arbitrarily deep.
constexpr size_t kMaxKeyDepth = 512;

struct Entry {
    enum class Kind {
        String,       // "Name"="text" or hex(1):
        Dword,        // "Name"=dword:xxxxxxxx
        Unsupported,  // a value of another type (or malformed): raw lines, with its name
        Raw,          // a line that is not a value: raw lines only
    };
    Kind kind = Kind::Raw;
    std::string name;                // value name; "" is the default value (@)
    std::string text;                // String
    uint32_t number = 0;             // Dword
    std::vector<std::string> lines;  // Unsupported, Raw: the lines as read, without line ends
};

struct Key {
    std::string name;            // one path level, as spelled at creation
    bool listed = false;         // a root written even when it holds nothing
    std::vector<Entry> entries;  // in file order
    std::vector<Key> children;   // in creation order
};

struct Hive {
    std::vector<std::string> preamble;  // raw lines before the first key
    std::vector<Key> roots;             // HKEY_... top levels, in file order
};

// Parses hive text; never fails (what cannot be parsed is kept raw).
Hive parse(std::string_view text);
// Writes the hive text, CR LF line ends.
std::string serialize(const Hive& hive);

// Child of a key (or root of a hive) by name, or nullptr.
Key* findChild(std::vector<Key>& keys, std::string_view name);
const Key* findChild(const std::vector<Key>& keys, std::string_view name);
// The value entry of that name (String, Dword or Unsupported), or nullptr.
Entry* findValue(Key& key, std::string_view name);
const Entry* findValue(const Key& key, std::string_view name);

}  // namespace platform::hive
