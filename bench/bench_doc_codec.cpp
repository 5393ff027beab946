// Doc record codec throughput on 8 MiB of English text, side by side with the
// txt2pdbdoc converter run on the same text in the same run (whole-process
// wall time, best of three, when the tool is installed).
//
// The text is the license texts under /usr/share/common-licenses (sorted by
// name) repeated to 8 MiB, or, where they are missing, words drawn from a
// fixed list with a fixed seed. Counters: bytes_per_second (ours), peer_MBps
// and x_peer (ours divided by the peer's).
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "text/doc_codec.h"
#include "text/doc_format.h"

namespace {

namespace fs = std::filesystem;
constexpr size_t kTextSize = 8u << 20;

std::vector<uint8_t> licenseText() {
    std::vector<uint8_t> all;
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/usr/share/common-licenses", ec))
        if (e.is_regular_file()) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const auto& f : files) {
        std::ifstream in(f, std::ios::binary);
        all.insert(all.end(), std::istreambuf_iterator<char>(in), {});
    }
    return all;
}

std::vector<uint8_t> wordText() {
    static const std::array<const char*, 40> words{
        "the", "of", "and", "to", "in", "a", "is", "that", "for", "it", "as", "was", "with", "be",
        "by", "on", "not", "he", "this", "are", "or", "his", "from", "at", "which", "but", "have",
        "an", "had", "they", "you", "were", "their", "one", "all", "we", "document", "handheld",
        "desktop", "conversion"};
    std::mt19937 rng(20240601);
    std::vector<uint8_t> out;
    while (out.size() < 1u << 20) {
        std::string w = words[(rng() % words.size() * (rng() % words.size())) / words.size()];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(rng() % 12 == 0 ? '\n' : ' ');
    }
    return out;
}

const std::vector<uint8_t>& corpus() {
    static const std::vector<uint8_t> text = [] {
        std::vector<uint8_t> unit = licenseText();
        if (unit.size() < 4096) unit = wordText();
        std::vector<uint8_t> t;
        t.reserve(kTextSize);
        while (t.size() < kTextSize) t.insert(t.end(), unit.begin(), unit.end());
        t.resize(kTextSize);
        return t;
    }();
    return text;
}

std::vector<std::vector<uint8_t>> encodeAll(const std::vector<uint8_t>& text) {
    std::vector<std::vector<uint8_t>> records;
    std::vector<uint8_t> piece(text::kTextRecordSize);
    for (size_t at = 0; at < text.size(); at += text::kTextRecordSize) {
        size_t n = std::min(text::kTextRecordSize, text.size() - at);
        std::copy_n(text.begin() + ptrdiff_t(at), n, piece.begin());
        std::vector<uint8_t> out(text::encodeBound(n));
        out.resize(text::encodeDocRecord(std::span<uint8_t>(piece.data(), n), text::kCompressionDoc, out).value());
        records.push_back(std::move(out));
    }
    return records;
}

// Runs a command line; returns its wall time in seconds, or a negative value
// when it could not be run or failed.
double timeCommand(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double>(end - start).count();
}

struct PeerFigures {
    double encodeMBps = 0, decodeMBps = 0;
};

// The peer's throughput on the same text, best of three runs each.
const PeerFigures& peer() {
    static const PeerFigures figures = [] {
        PeerFigures f;
        char dirTemplate[] = "/tmp/bench-doc-XXXXXX";
        if (!mkdtemp(dirTemplate)) return f;
        std::string dir = dirTemplate;
        std::string txt = dir + "/in.txt", pdb = dir + "/out.pdb", back = dir + "/back.txt";
        {
            std::ofstream out(txt, std::ios::binary);
            out.write(reinterpret_cast<const char*>(corpus().data()), std::streamsize(corpus().size()));
        }
        const double mb = double(kTextSize) / 1e6;
        double bestEnc = -1, bestDec = -1;
        for (int i = 0; i < 3; ++i) {
            double t = timeCommand({"txt2pdbdoc", "bench", txt, pdb});
            if (t > 0 && (bestEnc < 0 || t < bestEnc)) bestEnc = t;
        }
        for (int i = 0; bestEnc > 0 && i < 3; ++i) {
            double t = timeCommand({"txt2pdbdoc", "-d", pdb, back});
            if (t > 0 && (bestDec < 0 || t < bestDec)) bestDec = t;
        }
        if (bestEnc > 0) f.encodeMBps = mb / bestEnc;
        if (bestDec > 0) f.decodeMBps = mb / bestDec;
        std::error_code ec;
        fs::remove_all(dir, ec);
        return f;
    }();
    return figures;
}

void report(benchmark::State& state, double peerMBps) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
    if (peerMBps <= 0) return;
    state.counters["peer_MBps"] = peerMBps;
    state.counters["x_peer"] = benchmark::Counter(double(kTextSize) / 1e6 / peerMBps,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Encode(benchmark::State& state) {
    const auto& text = corpus();
    const double peerMBps = peer().encodeMBps;
    std::vector<uint8_t> piece(text::kTextRecordSize);
    std::vector<uint8_t> out(text::encodeBound(text::kTextRecordSize));
    for (auto _ : state) {
        size_t total = 0;
        for (size_t at = 0; at < text.size(); at += text::kTextRecordSize) {
            size_t n = std::min(text::kTextRecordSize, text.size() - at);
            std::copy_n(text.begin() + ptrdiff_t(at), n, piece.begin());
            total += text::encodeDocRecord(std::span<uint8_t>(piece.data(), n), text::kCompressionDoc, out).value();
        }
        benchmark::DoNotOptimize(total);
    }
    report(state, peerMBps);
    size_t encoded = 0;
    for (const auto& r : encodeAll(text)) encoded += r.size();
    state.counters["ratio"] = double(encoded) / double(text.size());
}
BENCHMARK(BM_Encode)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

void BM_Decode(benchmark::State& state) {
    const auto records = encodeAll(corpus());
    const double peerMBps = peer().decodeMBps;
    std::vector<uint8_t> out(text::kTextRecordSize);
    for (auto _ : state) {
        size_t total = 0;
        for (const auto& r : records) total += text::decodeDocRecord(r, text::kCompressionDoc, out);
        benchmark::DoNotOptimize(total);
        benchmark::ClobberMemory();
    }
    report(state, peerMBps);
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond)->MinTime(1.0)->UseRealTime();

// The peer itself, as its own rows (whole process, real time).
void BM_PeerEncode(benchmark::State& state) {
    if (peer().encodeMBps <= 0) {
        state.SkipWithError("txt2pdbdoc not available");
        return;
    }
    for (auto _ : state) state.SetIterationTime(double(kTextSize) / 1e6 / peer().encodeMBps);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}
BENCHMARK(BM_PeerEncode)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeerDecode(benchmark::State& state) {
    if (peer().decodeMBps <= 0) {
        state.SkipWithError("txt2pdbdoc not available");
        return;
    }
    for (auto _ : state) state.SetIterationTime(double(kTextSize) / 1e6 / peer().decodeMBps);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
}
BENCHMARK(BM_PeerDecode)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
