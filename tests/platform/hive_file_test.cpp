// The hive text format: parsing what regedit and people write, and writing
// it back so that nothing unknown is lost.
#include "platform/hive_file.h"

#include <gtest/gtest.h>

#include <string>

namespace hive = platform::hive;

namespace {

const hive::Key* keyAt(const hive::Hive& h, std::initializer_list<const char*> path) {
    const std::vector<hive::Key>* level = &h.roots;
    const hive::Key* key = nullptr;
    for (const char* name : path) {
        key = hive::findChild(*level, name);
        if (!key) return nullptr;
        level = &key->children;
    }
    return key;
}

std::string lf(std::string text) {  // the same text with CR LF line ends
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

TEST(HiveFile, WritesRegeditLayoutWithCrLf) {
    hive::Hive h;
    h.roots.push_back({"HKEY_CURRENT_USER", false, {}, {}});
    hive::Key software{"Software", true, {}, {}};
    hive::Key product{"Brightfold", true, {}, {}};
    hive::Entry path;
    path.kind = hive::Entry::Kind::String;
    path.name = "Path";
    path.text = "C:\\Tabulo \"new\"";
    hive::Entry count;
    count.kind = hive::Entry::Kind::Dword;
    count.name = "Count";
    count.number = 10;
    hive::Entry byDefault;
    byDefault.kind = hive::Entry::Kind::String;
    byDefault.text = "x";
    product.entries = {path, count, byDefault};
    software.children.push_back(product);
    h.roots[0].children.push_back(software);

    EXPECT_EQ(hive::serialize(h),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Brightfold]\r\n"
              "\"Path\"=\"C:\\\\Tabulo \\\"new\\\"\"\r\n"
              "\"Count\"=dword:0000000a\r\n"
              "@=\"x\"\r\n"
              "\r\n");
}

TEST(HiveFile, ReadsLfAndCrLfAlike) {
    std::string text =
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A]\n\"Name\"=\"v\"\n\"N\"=dword:FFFFFFFF\n@=\"d\"\n\n";
    for (const std::string& variant : {text, lf(text)}) {
        hive::Hive h = hive::parse(variant);
        const hive::Key* a = keyAt(h, {"HKEY_CURRENT_USER", "Software", "A"});
        ASSERT_NE(a, nullptr);
        ASSERT_EQ(a->entries.size(), 3u);
        EXPECT_EQ(a->entries[0].kind, hive::Entry::Kind::String);
        EXPECT_EQ(a->entries[0].text, "v");
        EXPECT_EQ(a->entries[1].kind, hive::Entry::Kind::Dword);
        EXPECT_EQ(a->entries[1].number, 0xFFFFFFFFu);
        EXPECT_EQ(a->entries[2].name, "");
        EXPECT_EQ(a->entries[2].text, "d");
        EXPECT_EQ(hive::serialize(h),
                  "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n"
                  "\"Name\"=\"v\"\r\n\"N\"=dword:ffffffff\r\n@=\"d\"\r\n\r\n");
    }
}

TEST(HiveFile, EscapesAndRawBytesRoundTrip) {
    // Backslashes, quotes and bytes above 127 inside names and texts; a lone
    // backslash before another character stands for itself.
    std::string text =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
        "\"a\\\\b\\\"c\"=\"\\\\\\\\server\\\\share\\\\\\\"x\\\" \xE9\xFF\"\r\n"
        "\"lone\"=\"C:\\temp\"\r\n\r\n";
    hive::Hive h = hive::parse(text);
    const hive::Key* k = keyAt(h, {"HKEY_CURRENT_USER", "K"});
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->entries.size(), 2u);
    EXPECT_EQ(k->entries[0].name, "a\\b\"c");
    EXPECT_EQ(k->entries[0].text, "\\\\server\\share\\\"x\" \xE9\xFF");
    EXPECT_EQ(k->entries[1].text, "C:\\temp");
    std::string again = hive::serialize(h);
    EXPECT_NE(again.find("\"lone\"=\"C:\\\\temp\""), std::string::npos);
    hive::Hive reread = hive::parse(again);
    EXPECT_EQ(keyAt(reread, {"HKEY_CURRENT_USER", "K"})->entries[0].text, k->entries[0].text);
    EXPECT_EQ(keyAt(reread, {"HKEY_CURRENT_USER", "K"})->entries[1].text, "C:\\temp");
}

TEST(HiveFile, TextWithLineBreaksGoesAsTextHex) {
    hive::Hive h;
    h.roots.push_back({"HKEY_CURRENT_USER", true, {}, {}});
    hive::Entry e;
    e.kind = hive::Entry::Kind::String;
    e.name = "Multi";
    e.text = "line one\r\nline two\n" + std::string(40, 'x') + std::string(1, '\0') + "end";
    h.roots[0].entries.push_back(e);
    std::string text = hive::serialize(h);
    EXPECT_NE(text.find("\"Multi\"=hex(1):6c,69,6e,65,20,6f,6e,65,0d,0a,"), std::string::npos);
    EXPECT_NE(text.find(",\\\r\n  "), std::string::npos);  // continued over lines
    // Every written line stays within the width regedit uses.
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_LE(end - start, 80u);
        start = end + 2;
    }
    hive::Hive reread = hive::parse(text);
    ASSERT_EQ(reread.roots.size(), 1u);
    ASSERT_EQ(reread.roots[0].entries.size(), 1u);
    EXPECT_EQ(reread.roots[0].entries[0].kind, hive::Entry::Kind::String);
    EXPECT_EQ(reread.roots[0].entries[0].text, e.text);
    EXPECT_EQ(hive::serialize(reread), text);
}

TEST(HiveFile, UnknownLinesSurviveInPlace) {
    std::string text =
        "REGEDIT4\r\n"
        "\r\n"
        "; exported by hand\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\App]\r\n"
        "\"Before\"=\"1\"\r\n"
        "\"Blob\"=hex:01,02,03,\\\r\n"
        "  04,05\r\n"
        "\"Expand\"=hex(2):25,00,54,00,\\\r\n"
        "  00,00\r\n"
        "this line means nothing\r\n"
        "\"Gone\"=-\r\n"
        "\"Broken\"=\"no end\r\n"
        "\"Wide\"=dword:123456789\r\n"
        "\"After\"=dword:00000002\r\n"
        "\r\n"
        "[HKEY_CLASSES_ROOT\\.tbl]\r\n"
        "@=\"Tabulo.Sheet\"\r\n"
        "\r\n";
    hive::Hive h = hive::parse(text);
    EXPECT_EQ(h.preamble, std::vector<std::string>{"; exported by hand"});
    const hive::Key* app = keyAt(h, {"HKEY_CURRENT_USER", "Software", "App"});
    ASSERT_NE(app, nullptr);
    ASSERT_EQ(app->entries.size(), 8u);
    EXPECT_EQ(app->entries[1].kind, hive::Entry::Kind::Unsupported);
    EXPECT_EQ(app->entries[1].name, "Blob");
    EXPECT_EQ(app->entries[1].lines.size(), 2u);
    EXPECT_EQ(app->entries[2].kind, hive::Entry::Kind::Unsupported);
    EXPECT_EQ(app->entries[3].kind, hive::Entry::Kind::Raw);
    EXPECT_EQ(app->entries[4].kind, hive::Entry::Kind::Unsupported);  // deletion marker
    EXPECT_EQ(app->entries[5].kind, hive::Entry::Kind::Unsupported);  // unterminated text
    EXPECT_EQ(app->entries[6].kind, hive::Entry::Kind::Unsupported);  // nine digits
    EXPECT_EQ(app->entries[7].kind, hive::Entry::Kind::Dword);
    EXPECT_NE(keyAt(h, {"HKEY_CLASSES_ROOT", ".tbl"}), nullptr);
    // Everything comes back in place; only the level the file skipped is added.
    std::string expected = text;
    std::string skipped = "[HKEY_CURRENT_USER\\Software]\r\n\r\n";
    expected.insert(expected.find("[HKEY_CURRENT_USER"), skipped);
    EXPECT_EQ(hive::serialize(h), expected);
}

TEST(HiveFile, ImplicitLevelsAreListedWhenWritten) {
    hive::Hive h = hive::parse("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\A\\B]\n\"x\"=\"1\"\n");
    ASSERT_NE(keyAt(h, {"HKEY_CURRENT_USER", "Software"}), nullptr);
    ASSERT_NE(keyAt(h, {"HKEY_CURRENT_USER", "Software", "A"}), nullptr);
    EXPECT_EQ(hive::serialize(h),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\A]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\A\\B]\r\n\"x\"=\"1\"\r\n\r\n");
}

TEST(HiveFile, NamesMatchWithoutCaseAndRepeatsMerge) {
    hive::Hive h = hive::parse(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tabulo]\n\"Path\"=\"one\"\n"
        "[hkey_current_user\\SOFTWARE\\tabulo\\User0]\n"
        "[HKEY_CURRENT_USER\\Software\\Tabulo]\n\"PATH\"=\"two\"\n\"Other\"=\"x\"\n");
    ASSERT_EQ(h.roots.size(), 1u);
    const hive::Key* tabulo = keyAt(h, {"HKEY_CURRENT_USER", "software", "TABULO"});
    ASSERT_NE(tabulo, nullptr);
    EXPECT_EQ(tabulo->name, "Tabulo");
    ASSERT_EQ(tabulo->entries.size(), 2u);  // the later Path replaced the earlier one
    EXPECT_EQ(tabulo->entries[0].text, "two");
    EXPECT_EQ(tabulo->children.size(), 1u);
    EXPECT_EQ(hive::findValue(*tabulo, "path")->text, "two");
}

TEST(HiveFile, ContinuationBeforeABlankLineEndsTheValue) {
    // A value whose last line asks for a continuation ends at the blank line
    // after it: the "\" continues into nothing, and the line after the blank
    // stays a line of its own, also once the hive is written and read again.
    hive::Hive h = hive::parse("[d]\n\"\"=hex(1):b\\\n\n,\n\"x\"=hex:01,\\\n\n02\n");
    const hive::Key* d = keyAt(h, {"d"});
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->entries.size(), 4u);
    EXPECT_EQ(d->entries[0].kind, hive::Entry::Kind::String);
    EXPECT_EQ(d->entries[0].text, "\x0b");
    EXPECT_EQ(d->entries[1].lines, std::vector<std::string>{","});
    EXPECT_EQ(d->entries[2].kind, hive::Entry::Kind::Unsupported);
    EXPECT_EQ(d->entries[2].lines, std::vector<std::string>{"\"x\"=hex:01,\\"});
    EXPECT_EQ(d->entries[3].lines, std::vector<std::string>{"02"});
    const std::string once = hive::serialize(h);
    EXPECT_EQ(once, "REGEDIT4\r\n\r\n[d]\r\n@=\"\x0b\"\r\n,\r\n\"x\"=hex:01,\\\r\n\r\n02\r\n\r\n");
    EXPECT_EQ(hive::serialize(hive::parse(once)), once);
}

TEST(HiveFile, OddInputNeverBreaksTheRewrite) {
    // Whatever the input, writing what was read and reading it again gives
    // the same text: a rewrite is stable and loses nothing more.
    static const char kWithNuls[] = "[HKEY_CURRENT_USER\\A]\n\"n\0ul\"=\"v\0\"\n";
    const std::string inputs[] = {
        "",
        "REGEDIT4",
        "[",
        "[]\n[\\\\]\n",
        "\"no key\"=\"value\"\n[HKEY_CURRENT_USER]\n",
        "[HKEY_CURRENT_USER\\A] trailing\n",
        "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\\n\n\"y\"=\"2\"\n",
        "[HKEY_CURRENT_USER\\A]\n\"x\"=hex(1):41,\\\n  zz\n",
        "[HKEY_CURRENT_USER\\A]\n\"x\"=hex(1):\n\"\"=\"empty name\"\n@=dword:1\n",
        "[HKEY_CURRENT_USER\\A]\r\r\n\"a\rb\"=\"c\rd\"\n",
        std::string(kWithNuls, sizeof kWithNuls - 1),
    };
    for (const std::string& input : inputs) {
        std::string once = hive::serialize(hive::parse(input));
        std::string twice = hive::serialize(hive::parse(once));
        EXPECT_EQ(once, twice) << "input: " << input;
    }
}

TEST(HiveFile, DepthIsBounded) {
    // A hostile key line thousands of levels deep stays a raw line; the
    // deepest allowed key is read as a key.
    std::string deep = "[HKEY_CURRENT_USER";
    for (size_t i = 1; i < hive::kMaxKeyDepth; ++i) deep += "\\k";
    std::string tooDeep = deep;
    for (int i = 0; i < 20000; ++i) tooDeep += "\\k";
    hive::Hive h = hive::parse("[HKEY_CURRENT_USER\\A]\n" + tooDeep + "]\n" + deep + "]\n\"v\"=\"1\"\n");
    const hive::Key* a = keyAt(h, {"HKEY_CURRENT_USER", "A"});
    ASSERT_NE(a, nullptr);
    ASSERT_EQ(a->entries.size(), 1u);
    EXPECT_EQ(a->entries[0].kind, hive::Entry::Kind::Raw);
    size_t depth = 1;
    const hive::Key* key = keyAt(h, {"HKEY_CURRENT_USER"});
    while (key && !key->children.empty() && key->children.back().name == "k") {
        key = &key->children.back();
        ++depth;
    }
    EXPECT_EQ(depth, hive::kMaxKeyDepth);
    EXPECT_EQ(key->entries.size(), 1u);
    std::string once = hive::serialize(h);
    EXPECT_EQ(hive::serialize(hive::parse(once)), once);
}
