// Interoperability with the txt2pdbdoc converter (run as a separate program,
// when it is installed): it decodes our databases to the text we read back,
// and we read the databases it writes, compressed or plain, in its 4096-byte
// records.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "doc_samples.h"
#include "platform/bstr.h"
#include "support/process.h"
#include "support/test_support.h"
#include "text/doc_state.h"

using testsupport::bytesOf;
using testsupport::readFile;
using testsupport::sameBytes;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

std::string findPeer() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(at, end - at) + "/txt2pdbdoc";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return {};
}

// Runs the peer with the given arguments, its output discarded; returns its
// exit code (-1 when it did not exit normally).
int runPeer(const std::string& peer, const std::vector<std::string>& args) {
    return testsupport::runProgram(peer, args).exitCode;
}

class DocInterop : public ::testing::Test {
protected:
    void SetUp() override {
        peer_ = findPeer();
        if (peer_.empty()) GTEST_SKIP() << "txt2pdbdoc is not installed";
    }
    std::string peer_;
    TempDir dir_;
};

// Writes bytes through WriteDoc/FlushDoc; returns the status.
int16_t writeOurs(const std::string& path, const std::vector<uint8_t>& bytes) {
    text::DocState st;
    DocTransferRecord r{};
    platform::replaceByteString(r.path, path);
    std::vector<uint8_t> copy = bytes;
    r.data = reinterpret_cast<BSTR>(copy.data());
    r.length = int32_t(copy.size());
    int16_t s = text::writeDoc(st, &r);
    r.data = nullptr;
    if (s == 0) s = text::flushDoc(st, &r, {});
    platform::clearByteString(r.path);
    return s;
}

// Reads a database through ReadDoc; pieces' sizes go to sizes.
std::vector<uint8_t> readOurs(const std::string& path, std::vector<size_t>* sizes = nullptr) {
    text::DocState st;
    DocTransferRecord r{};
    platform::replaceByteString(r.path, path);
    std::vector<uint8_t> all;
    for (int guard = 0; guard < 100000; ++guard) {
        int16_t ret = text::readDoc(st, &r);
        EXPECT_EQ(ret, 0);
        if (ret != 0 || r.status != 0) break;
        auto v = platform::byteStringView(r.data);
        all.insert(all.end(), v.begin(), v.end());
        if (sizes) sizes->push_back(v.size());
    }
    EXPECT_EQ(r.status, BF_EOF);
    platform::clearByteString(r.path);
    platform::clearByteString(r.data);
    return all;
}

// Text the peer passes through unchanged when it encodes: no CR, nothing
// below 0x09, no form feed.
std::vector<uint8_t> peerSafeText(size_t length, uint32_t seed, bool highBytes) {
    auto t = docref::englishText(length, seed);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\r') continue;
        out.push_back(t[i]);
        if (highBytes && i % 97 == 0) out.push_back(uint8_t(0xC0 + i % 60));  // accented letters
    }
    return out;
}

}  // namespace

TEST_F(DocInterop, PeerDecodesOurDatabasesToTheTextWeReadBack) {
    std::vector<std::vector<uint8_t>> texts = {
        bytesOf("abcabcabc"),
        bytesOf("line1\r\nline2\r\nlast line without end"),
        docref::englishText(50000, 11),
        peerSafeText(30000, 12, true),
        // Escaped bytes in runs. (The peer aborts on a record whose encoding
        // is longer than about 8192 bytes, which an 8192-byte record without
        // repeats can be; such records are tested without it.)
        docref::noRepeats(7000, 0x80, 32),
        docref::randomFrom("ab ", 20000, 13),
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("text " + std::to_string(i));
        std::string base = dir_.file("ours" + std::to_string(i));
        ASSERT_EQ(writeOurs(base + ".txt", texts[i]), 0);
        auto ours = readOurs(base + ".pdb");
        ASSERT_EQ(ours.size(), texts[i].size());
        ASSERT_EQ(runPeer(peer_, {"-d", base + ".pdb", base + ".out"}), 0);
        EXPECT_TRUE(sameBytes(ours, readFile(base + ".out")));
    }
}

TEST_F(DocInterop, WeReadWhatThePeerWrites) {
    struct Case {
        std::vector<std::string> options;
        std::vector<uint8_t> text;
    };
    const std::vector<Case> cases = {
        {{}, peerSafeText(100, 21, false)},       {{}, peerSafeText(60000, 22, false)},
        {{"-b"}, peerSafeText(60000, 23, true)},   // bytes above 0x7F stay, escaped
        {{"-c"}, peerSafeText(20000, 24, false)},  // stored plain: compression 1
        {{}, std::vector<uint8_t>(10000, 'z')},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        std::string base = dir_.file("peer" + std::to_string(i));
        writeFile(base + ".txt", cases[i].text);
        auto args = cases[i].options;
        args.insert(args.end(), {"peer doc", base + ".txt", base + ".pdb"});
        ASSERT_EQ(runPeer(peer_, args), 0);
        std::vector<size_t> sizes;
        EXPECT_TRUE(sameBytes(cases[i].text, readOurs(base + ".pdb", &sizes)));
        // The peer cuts text into 4096-byte records.
        for (size_t k = 0; k + 1 < sizes.size(); ++k) EXPECT_EQ(sizes[k], 4096u);
        if (!sizes.empty()) {
            EXPECT_LE(sizes.back(), 4096u);
        }
    }
}
