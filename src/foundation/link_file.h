// foundation/link_file.h - the text of a link registry file, read once.
//
// Link registry files (TBRegistry.dat, QLRegistry.dat) are ANSI text in
// sections, one per HotSync user:
//   [user name]
//   line
//   ...
// A section begins at the first line that starts with "[", the user name
// (compared with case) and "]", and ends at the next line that starts with
// "[" or at the end of the file. Lines end with CR LF on disk (LF alone is
// accepted) and at a NUL byte; empty lines are skipped. The whole file is read once and each
// user's section found through an index of the section lines, so loading
// many users stays linear in the size of the file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

class LinkFileText {
public:
    LinkFileText() = default;
    explicit LinkFileText(std::string content);

    bool empty() const { return content_.empty(); }
    // The first line, without its line end (empty for an empty file).
    std::string_view firstLine() const { return lines_.empty() ? std::string_view() : line(0); }
    // The non-empty lines of the user's section, without the section line.
    // The views point into this object's text.
    std::vector<std::string_view> section(std::string_view userName) const;

private:
    // Lines are kept as offsets into the text, not as views, so that the
    // object can be moved and copied (a short text lives inside the string
    // object itself and moves with it).
    struct Line {
        size_t start;
        size_t length;
    };
    std::string_view line(size_t i) const {
        return std::string_view(content_).substr(lines_[i].start, lines_[i].length);
    }

    std::string content_;
    std::vector<Line> lines_;
    std::vector<size_t> sectionStarts_;  // indexes of the lines that begin with '['
};

// Reads a whole link registry file; a missing file reads as empty. Returns
// false (and an empty text) only when the file exists but cannot be read.
bool readLinkFile(const std::string& path, LinkFileText& text);

// The bytes written for a file text: every "\n" becomes CR LF.
std::string toDiskText(std::string_view text);

// Writes a link registry file safely: the lines (already ending in "\n") are
// written with CR LF line ends to a temporary file that replaces the old one.
// On failure the old file stays as it was.
bool writeLinkFile(const std::string& path, std::string_view text);

// Signed 32-bit decimal as the registry files hold numbers: optional blanks,
// optional sign, at least one digit, nothing else. Values beyond 32 bits
// keep their low 32 bits, as a 32-bit reader would.
bool parseInt32(std::string_view field, int32_t& value);

}  // namespace foundation
