// The setup script's text: the profile-string reader, the tables built from
// it, and the component listing. Nothing here touches the registry or files.
#include "installer/setup_script.h"

#include <map>
#include <optional>

#include "foundation/file_names.h"

namespace installer {
namespace {

constexpr size_t kReadChars = 254;  // what is read of an "AppName%d" value
// Longer "AppName%d" values leave no room for the appended ", , ".
constexpr size_t kMaxAppNameChars = 251;
constexpr size_t kListedProblems = 20;  // in the refusal box

char lowered(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

std::string lowerText(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowered(c);
    return out;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string numbered(std::string_view key, size_t n) { return std::string(key) + std::to_string(n); }

// An INI-style text read as the profile-string reader does: section and key
// names case-blind (the first of equal names counts), ";" comment lines,
// blanks around values dropped, one pair of enclosing quotes (" or ')
// dropped. Lines that are neither a header nor key=value are ignored.
class ProfileText {
public:
    explicit ProfileText(std::string_view text) {
        Section* section = nullptr;
        while (!text.empty()) {
            size_t end = text.find('\n');
            std::string_view line = trimmed(text.substr(0, end));
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                size_t close = line.find(']');
                std::string name =
                    lowerText(trimmed(line.substr(1, close == line.npos ? line.npos : close - 1)));
                auto [it, added] = sections_.try_emplace(std::move(name));
                section = added ? &it->second : nullptr;  // a repeated section is not read
                continue;
            }
            size_t equals = line.find('=');
            if (!section || equals == line.npos) continue;
            std::string_view key = trimmed(line.substr(0, equals));
            if (key.empty()) continue;
            std::string_view value = trimmed(line.substr(equals + 1));
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.substr(1, value.size() - 2);
            section->try_emplace(lowerText(key), value);
        }
    }

    // The value, or nothing when the section or key is missing.
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const {
        auto s = sections_.find(lowerText(section));
        if (s == sections_.end()) return std::nullopt;
        auto k = s->second.find(lowerText(key));
        if (k == s->second.end()) return std::nullopt;
        return k->second;
    }

    // A text value cut to its field; the default when the key is missing.
    std::string text(std::string_view section, std::string_view key, size_t chars,
                     std::string_view fallback = "") const {
        std::optional<std::string_view> value = find(section, key);
        return std::string((value ? *value : fallback).substr(0, chars));
    }

    // A decimal number from the value's leading digits (0 without any, or
    // when the key is missing); it wraps as a 32-bit number would.
    int32_t number(std::string_view section, std::string_view key) const {
        uint32_t n = 0;
        if (std::optional<std::string_view> value = find(section, key))
            for (char c : *value) {
                if (c < '0' || c > '9') break;
                n = n * 10u + uint32_t(c - '0');
            }
        return int32_t(n);
    }

    // A member of a numbered series: present and not empty.
    std::optional<std::string_view> member(std::string_view section, std::string_view key, size_t n) const {
        std::optional<std::string_view> value = find(section, numbered(key, n));
        if (value && value->empty()) return std::nullopt;
        return value;
    }

private:
    using Section = std::map<std::string, std::string_view, std::less<>>;
    std::map<std::string, Section, std::less<>> sections_;
};

// Name and description of an "AppName%d" value: the text before the first
// comma, and from two characters after it up to the next comma.
void splitComponent(std::string_view value, FileEntry& entry) {
    std::string line = std::string(value.substr(0, kReadChars)) + ", , ";
    size_t comma = line.find(',');
    entry.name = line.substr(0, std::min(comma, kNameChars));
    size_t start = std::min(comma + 2, line.size());
    size_t end = line.find(',', start);
    if (end == std::string::npos) end = line.size();
    entry.description = line.substr(start, std::min(end - start, kDescriptionChars));
}

void readFile(const ProfileText& profile, std::string_view section, size_t n, std::string_view fileName,
              FileEntry& entry) {
    entry.fileName = std::string(fileName.substr(0, kFileNameChars));
    entry.regKey = profile.text(section, numbered("RegKey", n), kRegKeyChars);
    entry.regValue = profile.text(section, numbered("RegValue", n), kRegValueChars);
    entry.destination = profile.text(section, numbered("Destination", n), kDestinationChars, ".");
    entry.desktopIcon = profile.number(section, numbered("DesktopIcon", n));
}

// What is wrong with a "File%d" value, if anything.
std::optional<std::string> fileNameProblem(std::string_view section, size_t n, std::string_view fileName) {
    std::string where = numbered("File", n) + " of [" + std::string(section) + "]";
    if (fileName.size() > kFileNameChars)
        return where + " is longer than " + std::to_string(kFileNameChars) + " characters";
    if (!foundation::isSafeFileNamePart(fileName))
        return where + " is not a plain file name: \"" + std::string(fileName) + "\"";
    return std::nullopt;
}

}  // namespace

ParsedScript parseScript(std::string_view text) {
    const ProfileText profile(text);
    ParsedScript out;
    SetupScript& script = out.script;
    out.defaultFolder = profile.text("Installation", "DefDir", kDefaultFolderChars);
    script.application = profile.text("Installation", "Application", kApplicationChars);

    size_t keys = 0;
    for (; std::optional<std::string_view> key = profile.member("Installation", "Application", keys); ++keys)
        if (keys < kMaxProductKeys) script.applicationKeys.emplace_back(key->substr(0, kProductKeyChars));
    if (keys > kMaxProductKeys)
        out.problems.push_back(std::to_string(keys) + " product keys (Application0...), at most " +
                               std::to_string(kMaxProductKeys));
    if (keys == 0) script.applicationKeys.push_back(script.application);

    // Components first, one entry each, then every further file. The table
    // is built whole (its size is bounded by the text's) and emptied when the
    // script is refused, so a refusal can say how many entries it describes.
    for (size_t n = 0;
         std::optional<std::string_view> value = profile.member(script.application, "AppName", n); ++n) {
        if (value->size() > kMaxAppNameChars)
            out.problems.push_back(numbered("AppName", n) + " of [" + script.application +
                                   "] is longer than " + std::to_string(kMaxAppNameChars) + " characters");
        FileEntry entry;
        entry.component = int32_t(n);
        splitComponent(*value, entry);
        script.entries.push_back(std::move(entry));
    }
    const size_t components = script.entries.size();
    for (size_t i = 0; i < components; ++i) {
        const std::string section = script.entries[i].name;
        for (size_t n = 0;; ++n) {
            std::optional<std::string_view> fileName = profile.member(section, "File", n);
            if (!fileName) break;
            if (std::optional<std::string> problem = fileNameProblem(section, n, *fileName))
                out.problems.push_back(std::move(*problem));
            if (n > 0) {
                script.entries.emplace_back();
                script.entries.back().name = section;
            }
            FileEntry& entry = n > 0 ? script.entries.back() : script.entries[i];
            entry.component = int32_t(i);
            readFile(profile, section, n, *fileName, entry);
        }
    }
    const size_t total = script.entries.size();
    if (total > kMaxScriptEntries)
        out.problems.insert(out.problems.begin(),
                            std::to_string(total) + " files, at most " + std::to_string(kMaxScriptEntries));
    if (!out.problems.empty()) script.entries.clear();
    return out;
}

std::string refusalText(std::string_view path, const std::vector<std::string>& problems) {
    std::string text =
        "The setup script " + std::string(path) + " cannot be used; nothing was installed or removed:";
    for (size_t i = 0; i < problems.size() && i < kListedProblems; ++i) text += "\n- " + problems[i];
    if (problems.size() > kListedProblems)
        text += "\n- and " + std::to_string(problems.size() - kListedProblems) + " more";
    return text;
}

bool SetupScript::chosen(const FileEntry& entry) const { return selected(entry.component); }

void SetupScript::setSelected(int index, bool on) {
    if (index >= 0 && size_t(index) < entries.size()) entries[size_t(index)].selected = on;
}

bool SetupScript::selected(int index) const {
    return index >= 0 && size_t(index) < entries.size() && entries[size_t(index)].selected;
}

std::vector<ComponentItem> componentListing(const SetupScript& script) {
    std::vector<ComponentItem> items;
    for (size_t i = 0; i < script.entries.size() && script.entries[i].component == int32_t(i); ++i) {
        const FileEntry& entry = script.entries[i];
        items.push_back({entry.name + ", " + entry.description, entry.selected});
    }
    return items;
}

}  // namespace installer
