// The record codec: the format's worked examples byte for byte, the literal
// rule and merge, the decoder's limits on malformed and oversized input, and
// round trips and cross-checks against the plain reference encoder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc_reference.h"
#include "doc_samples.h"
#include "support/test_support.h"
#include "text/doc_codec.h"
#include "text/doc_format.h"

using testsupport::bytesOf;
using testsupport::hexBytes;
using testsupport::sameBytes;

namespace {

// Encodes with the shipped encoder (compression 2); the input is converted in place.
std::vector<uint8_t> encode(std::vector<uint8_t> text) {
    std::vector<uint8_t> out(text::encodeBound(text.size()));
    auto n = text::encodeDocRecord(text, text::kCompressionDoc, out);
    EXPECT_TRUE(n.has_value());
    out.resize(n.value_or(0));
    return out;
}

std::vector<uint8_t> decode(const std::vector<uint8_t>& record, size_t capacity = text::kTextRecordSize,
                            uint8_t compression = text::kCompressionDoc, bool* intact = nullptr) {
    std::vector<uint8_t> out(capacity + 16, 0xEE);  // guard bytes after the capacity
    size_t n = text::decodeDocRecord(record, compression, std::span<uint8_t>(out.data(), capacity), intact);
    EXPECT_LE(n, capacity);
    for (size_t i = capacity; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xEE) << "written past the capacity at " << i;
    out.resize(n);
    return out;
}

struct Golden {
    const char* name;
    std::vector<uint8_t> text;
    const char* encoded;
    std::vector<uint8_t> decoded;  // empty: the text itself
};

}  // namespace

TEST(DocCodecGolden, WorkedExamplesEncodeAndDecodeExactly) {
    const std::vector<Golden> cases = {
        {"abcabcabc", bytesOf("abcabcabc"), "61 62 63 80 1A 63", {}},
        {"ten a", bytesOf("aaaaaaaaaa"), "61 80 0D 61", {}},
        {"a space b", bytesOf("a b"), "61 E2", {}},
        {"x two spaces y", bytesOf("x  y"), "78 20 20 79", {}},
        {"E9 74 E9", hexBytes("E9 74 E9"), "01 E9 74 01 E9", {}},
        {"CR LF lines", bytesOf("line1\r\nline2\r\n"), "6C 69 6E 65 31 20 0A 80 39 32 20 0A",
         bytesOf("line1 \nline2 \n")},
        // A held space before a back-reference goes out plain: space (held),
        // space+space+space as distance 1 length 3, then x.
        {"four spaces x", bytesOf("    x"), "20 80 08 78", {}},
        // 0x00 is plain; a held space before it is written out first.
        {"space NUL", hexBytes("41 20 00 42"), "41 20 00 42", {}},
        // A held space before an escaped byte: 20 then a run of one.
        {"space 05", hexBytes("41 20 05 42"), "41 20 01 05 42", {}},
        // A trailing space is held to the end and then written.
        {"trailing space", bytesOf("ab "), "61 62 20", {}},
        {"lone CR and final CR", bytesOf("a\rb\r"), "61 0A 62 0A", bytesOf("a\nb\n")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto enc = encode(c.text);
        EXPECT_TRUE(sameBytes(hexBytes(c.encoded), enc));
        EXPECT_TRUE(sameBytes(docref::referenceEncode(docref::convertedCopy(c.text)), enc));
        EXPECT_TRUE(sameBytes(c.decoded.empty() ? c.text : c.decoded, decode(enc)));
    }
}

TEST(DocCodecGolden, EmptyRecordEncodesToNothing) {
    std::vector<uint8_t> out(1, 0xEE);
    std::vector<uint8_t> none;
    EXPECT_EQ(text::encodeDocRecord(none, text::kCompressionDoc, out), 0u);
    EXPECT_EQ(decode({}).size(), 0u);
}

TEST(DocCodecLineEnds, EveryCrIsConvertedWithinTheRecord) {
    struct Case {
        std::vector<uint8_t> in, out;
    };
    const std::vector<Case> cases = {
        {bytesOf("\r\n"), bytesOf(" \n")},     {bytesOf("\r"), bytesOf("\n")},
        {bytesOf("\r\r\n"), bytesOf("\n \n")}, {bytesOf("\n\r"), bytesOf("\n\n")},
        {bytesOf("a\r\r"), bytesOf("a\n\n")},  {bytesOf("no line ends"), bytesOf("no line ends")},
    };
    for (const auto& c : cases) {
        auto b = c.in;
        text::convertLineEnds(b);
        EXPECT_TRUE(sameBytes(c.out, b));
    }
}

TEST(DocCodecLiterals, EscapedBytesMergeIntoRunsOfAtMostEight) {
    // Nine bytes above 0x7F in a row: a run of eight, then a run of one.
    auto nine = hexBytes("80 81 82 83 84 85 86 87 88");
    EXPECT_TRUE(sameBytes(hexBytes("08 80 81 82 83 84 85 86 87 01 88"), encode(nine)));
    // Control bytes 01..08 are escaped too; a plain byte between splits runs.
    EXPECT_TRUE(sameBytes(hexBytes("02 01 08 41 01 07"), encode(hexBytes("01 08 41 07"))));
    // A held space in front of an escaped byte keeps the runs apart.
    EXPECT_TRUE(sameBytes(hexBytes("01 90 20 01 91"), encode(hexBytes("90 20 91"))));
    // The merge pass alone, on an unmerged stream with a back-reference between pairs.
    EXPECT_TRUE(sameBytes(hexBytes("02 90 91 80 1A 01 92"),
                          docref::mergeEscapedLiterals(hexBytes("01 90 01 91 80 1A 01 92"))));
}

TEST(DocCodecLiterals, SpaceJoinsOnlyBytesFrom40To7F) {
    EXPECT_TRUE(sameBytes(hexBytes("C0"), encode(bytesOf(" @"))));
    EXPECT_TRUE(sameBytes(hexBytes("FF"), encode(hexBytes("20 7F"))));
    EXPECT_TRUE(sameBytes(hexBytes("20 3F"), encode(bytesOf(" ?"))));
    EXPECT_TRUE(sameBytes(hexBytes("20 01 80"), encode(hexBytes("20 80"))));
    // Five spaces: pairs of plain spaces until a back-reference takes over.
    auto five = encode(bytesOf("     y"));
    EXPECT_TRUE(sameBytes(docref::referenceEncode(bytesOf("     y")), five));
    EXPECT_TRUE(sameBytes(bytesOf("     y"), decode(five)));
}

TEST(DocCodecMatches, LongestEarliestMatchAndLimits) {
    // Among equal matches the earliest (largest distance) wins: "abcd" occurs
    // at 0 and 5; the copy at 10 takes distance 10.
    auto enc = encode(bytesOf("abcdXabcdYabcdZ"));
    EXPECT_TRUE(sameBytes(docref::referenceEncode(bytesOf("abcdXabcdYabcdZ")), enc));
    EXPECT_TRUE(sameBytes(hexBytes("61 62 63 64 58 80 29 59 80 51 5A"), enc));
    // No back-reference covers the last byte: in "abcabc" the second abc
    // would end the record, so it goes out as literals; one more byte lets
    // the copy through.
    EXPECT_TRUE(sameBytes(hexBytes("61 62 63 61 62 63"), encode(bytesOf("abcabc"))));
    EXPECT_TRUE(sameBytes(hexBytes("61 62 63 80 18 64"), encode(bytesOf("abcabcd"))));
    // A copy is at most 10 bytes: 22 a's give a literal, two copies of 10 and
    // a literal; the second copy reaches back to the first a (distance 11).
    EXPECT_TRUE(sameBytes(hexBytes("61 80 0F 80 5F 61"), encode(std::vector<uint8_t>(22, 'a'))));
    // The window reaches 2047 bytes back, not 2048.
    auto far = docref::noRepeats(2047 + 4, 0x41, 26);
    std::vector<uint8_t> atLimit(far.begin(), far.begin() + 2047);
    atLimit.insert(atLimit.end(), far.begin(), far.begin() + 4);  // "xyz?" again at distance 2047
    atLimit.push_back('!');
    auto limitEnc = encode(atLimit);
    EXPECT_TRUE(sameBytes(docref::referenceEncode(atLimit), limitEnc));
    std::vector<uint8_t> beyond(far.begin(), far.begin() + 2048);
    beyond.insert(beyond.end(), far.begin(), far.begin() + 4);  // distance 2048: out of reach
    beyond.push_back('!');
    auto beyondEnc = encode(beyond);
    EXPECT_TRUE(sameBytes(docref::referenceEncode(beyond), beyondEnc));
    EXPECT_GT(beyondEnc.size(), limitEnc.size());
    EXPECT_TRUE(sameBytes(atLimit, decode(limitEnc)));
}

TEST(DocCodecMatches, RecordWithoutRepeatsGrowsBeyond8192) {
    auto rec = docref::noRepeats(8192, 0x80, 32);
    ASSERT_EQ(rec.size(), 8192u);
    auto enc = encode(rec);
    EXPECT_GT(enc.size(), 8192u);
    EXPECT_EQ(enc.size(), 8192u / 8 * 9);  // every byte escaped, in runs of eight
    EXPECT_TRUE(sameBytes(rec, decode(enc)));
}

TEST(DocCodecEncoder, RefusesOversizedTextAndShortOutput) {
    std::vector<uint8_t> big(8193, 'a');
    std::vector<uint8_t> out(text::encodeBound(big.size()));
    EXPECT_FALSE(text::encodeDocRecord(big, text::kCompressionDoc, out).has_value());
    std::vector<uint8_t> small = bytesOf("abc");
    std::vector<uint8_t> tight(text::encodeBound(3) - 1);
    EXPECT_FALSE(text::encodeDocRecord(small, text::kCompressionDoc, tight).has_value());
}

TEST(DocCodecEncoder, OtherCompressionValuesStoreConvertedBytes) {
    auto in = bytesOf("one\r\ntwo\rthree");
    std::vector<uint8_t> out(text::encodeBound(in.size()));
    auto n = text::encodeDocRecord(in, text::kCompressionPlain, out);
    ASSERT_TRUE(n.has_value());
    out.resize(*n);
    EXPECT_TRUE(sameBytes(bytesOf("one \ntwo\nthree"), out));
    EXPECT_TRUE(sameBytes(bytesOf("one \ntwo\nthree"), decode(out, 8192, text::kCompressionPlain)));
}

TEST(DocCodecDecoder, TokensOfEveryKind) {
    // 00, a run with CR kept as it stands, a literal CR read as a space, a
    // space pair, an overlapping copy (distance 1, length 10).
    EXPECT_TRUE(sameBytes(hexBytes("00 0D 41 20 20 41 41 41 41 41 41 41 41 41 41 41"),
                          decode(hexBytes("00 02 0D 41 0D C1 80 0F"))));
    EXPECT_TRUE(sameBytes(hexBytes("09 7F"), decode(hexBytes("09 7F"))));
}

TEST(DocCodecDecoder, OutputNeverExceedsTheCapacity) {
    auto tenA = hexBytes("61 80 0D 61");
    EXPECT_TRUE(sameBytes(bytesOf("aaaaa"), decode(tenA, 5)));
    EXPECT_TRUE(sameBytes(bytesOf("aaaaaaaaaa"), decode(tenA, 10)));
    EXPECT_TRUE(sameBytes(bytesOf("a "), decode(hexBytes("61 E2"), 2)));  // space written, b has no room
    EXPECT_TRUE(sameBytes(bytesOf("ab"), decode(hexBytes("03 61 62 63"), 2)));
    EXPECT_TRUE(decode(tenA, 0).empty());
    EXPECT_TRUE(sameBytes(bytesOf("abc"), decode(bytesOf("abcdef"), 3, text::kCompressionPlain)));
    // A record of another writer with record size 4096 decodes to at most 4096 bytes.
    std::vector<uint8_t> many;
    for (int i = 0; i < 600; ++i) many.insert(many.end(), {0x61, 0x80, 0x0F});
    EXPECT_EQ(decode(many, 4096).size(), 4096u);
}

TEST(DocCodecDecoder, MalformedTokensEndTheRecord) {
    const struct {
        const char* what;
        const char* stream;
        const char* kept;
    } cases[] = {
        {"back-reference cut off by the record end", "61 62 80", "ab"},
        {"run cut off by the record end: its bytes are not used", "61 62 05 63 64", "ab"},
        {"back-reference before the start of the output; nothing after it is read", "61 62 80 18 63", "ab"},
        {"back-reference before any output", "80 08 61", ""},
        {"distance 0", "61 62 80 07 63", "ab"},
    };
    for (const auto& c : cases) {
        bool intact = true;
        EXPECT_TRUE(
            sameBytes(bytesOf(c.kept), decode(hexBytes(c.stream), 8192, text::kCompressionDoc, &intact)))
            << c.what;
        EXPECT_FALSE(intact) << c.what;
    }
    // A record cut by the room is whole: the room ended it, not a bad token.
    bool intact = false;
    EXPECT_EQ(decode(hexBytes("61 62 63 80"), 3, text::kCompressionDoc, &intact).size(), 3u);
    EXPECT_TRUE(intact);
    // Unknown compression values produce nothing.
    EXPECT_TRUE(decode(bytesOf("abc"), 8192, 0).empty());
    EXPECT_TRUE(decode(bytesOf("abc"), 8192, 3).empty());
}

TEST(DocCodecDecoder, AgreesWithTheSimpleDecoderOnArbitraryBytes) {
    // Random streams exercise the fast loop, the careful tail and every stop
    // rule; the capacity varies around the fast loop's margins.
    for (uint32_t seed = 1; seed <= 300; ++seed) {
        auto stream = docref::randomBytes(1 + seed * 7 % 3000, seed);
        if (seed % 3 == 0)  // mostly valid streams reach further
            stream = encode(docref::englishText(1 + seed * 29 % 8192, seed));
        for (size_t cap : {size_t(0), size_t(1), size_t(15), size_t(16), size_t(17), size_t(100),
                           size_t(4096), size_t(8192), size_t(65535)}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " capacity " + std::to_string(cap));
            bool expectIntact = false, intact = !expectIntact;
            ASSERT_TRUE(sameBytes(docref::simpleDecode(stream, cap, &expectIntact),
                                  decode(stream, cap, text::kCompressionDoc, &intact)));
            ASSERT_EQ(intact, expectIntact);
        }
    }
}

TEST(DocCodecDecoder, CorruptionDeepInARecordStopsWhereTheSimpleDecoderStops) {
    // Valid streams damaged far from their start, so the damage meets the
    // fast path: a back-reference reaching before the start, a distance of 0
    // or 1..7, a run, or the stream cut short.
    const std::vector<std::vector<uint8_t>> damages = {
        hexBytes("BF FF"),       hexBytes("80 00"), hexBytes("80 07"), hexBytes("80 0F"), hexBytes("80 3A"),
        hexBytes("03 41 42 43"), hexBytes("08"),    hexBytes("00 00"), hexBytes("0D 0D")};
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        auto stream = encode(docref::englishText(8192, seed));
        for (size_t d = 0; d < damages.size(); ++d) {
            size_t at = 100 + (seed * 977 + d * 131) % (stream.size() - 200);
            auto damaged = stream;
            std::copy(damages[d].begin(), damages[d].end(), damaged.begin() + ptrdiff_t(at));
            auto cut = std::vector<uint8_t>(damaged.begin(),
                                            damaged.begin() + ptrdiff_t(at + damages[d].size() / 2));
            for (const auto* s : {&damaged, &cut}) {
                SCOPED_TRACE("seed " + std::to_string(seed) + " damage " + std::to_string(d));
                for (size_t cap : {size_t(8192), size_t(5000)}) {
                    bool expectIntact = false, intact = !expectIntact;
                    ASSERT_TRUE(sameBytes(docref::simpleDecode(*s, cap, &expectIntact),
                                          decode(*s, cap, text::kCompressionDoc, &intact)));
                    ASSERT_EQ(intact, expectIntact);
                }
            }
        }
    }
}

TEST(DocCodecRoundTrip, EveryRecordLengthDecodesToItsConvertedText) {
    for (size_t len = 0; len <= text::kTextRecordSize; ++len) {
        uint32_t seed = uint32_t(len) * 2654435761u;
        for (int kind = 0; kind < 2; ++kind) {
            auto x = kind == 0 ? docref::randomBytes(len, seed) : docref::englishText(len, seed);
            auto enc = encode(x);
            ASSERT_LE(enc.size(), text::encodeBound(len));
            auto back = decode(enc);
            ASSERT_TRUE(sameBytes(docref::convertedCopy(x), back)) << "length " << len << " kind " << kind;
        }
    }
}

TEST(DocCodecRoundTrip, ShippedEncoderMatchesTheReferenceScan) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
    const size_t lengths[] = {1, 2, 3, 4, 5, 11, 12, 13, 2046, 2047, 2048, 2049, 2050, 4095, 8191, 8192};
    uint32_t seed = 7;
    for (size_t len : lengths) {
        inputs.push_back({"english", docref::englishText(len, ++seed)});
        inputs.push_back({"bytes", docref::randomBytes(len, ++seed)});
        inputs.push_back({"ab", docref::randomFrom("ab", len, ++seed)});
    }
    for (int i = 0; i < 6; ++i) {
        inputs.push_back({"abcd", docref::randomFrom("abcd", 8192, ++seed)});
        inputs.push_back({"spaces", docref::randomFrom("  \x01\x80\xC3xy\r\n", 8192, ++seed)});
        inputs.push_back({"digits", docref::randomFrom("0123456789 ", 4000 + 700 * i, ++seed)});
        inputs.push_back({"english", docref::englishText(8192, ++seed)});
    }
    // Repeats of every period, where distances and lengths reach their limits.
    for (size_t period : {1, 2, 3, 7, 10, 11, 100, 2046, 2047, 2048}) {
        auto unit = docref::randomBytes(period, uint32_t(period));
        std::vector<uint8_t> rep;
        while (rep.size() < 8192) rep.insert(rep.end(), unit.begin(), unit.end());
        rep.resize(8192);
        inputs.push_back({"period " + std::to_string(period), rep});
    }
    for (const auto& [name, x] : inputs) {
        SCOPED_TRACE(name + " length " + std::to_string(x.size()));
        auto conv = docref::convertedCopy(x);
        ASSERT_TRUE(sameBytes(docref::referenceEncode(conv), encode(x)));
    }
}
