// Doc record codec throughput on 8 MiB of English text, side by side with the
// txt2pdbdoc converter run on the same text in the same run (whole process,
// best of three, when the tool is installed).
//
// Texts (the benchmark argument): 0 = the license texts under
// /usr/share/common-licenses (sorted by name) repeated to 8 MiB; 1 = words
// drawn from a fixed list with a fixed seed.
//
// Counters, all in MB/s except the ratios: wall_MBps and cpu_MBps (ours),
// peer_wall_MBps (the peer's whole-process wall time) and peer_cpu_MBps (its
// user + system time), x_peer_wall and x_peer_cpu (ours divided by the
// peer's). On a busy machine the wall figures swing; the CPU figures less.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <ctime>

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
        "the", "of",   "and",   "to",  "in",    "a",   "is",       "that",     "for",     "it",
        "as",  "was",  "with",  "be",  "by",    "on",  "not",      "he",       "this",    "are",
        "or",  "his",  "from",  "at",  "which", "but", "have",     "an",       "had",     "they",
        "you", "were", "their", "one", "all",   "we",  "document", "handheld", "desktop", "conversion"};
    std::mt19937 rng(20240601);
    std::vector<uint8_t> out;
    while (out.size() < 1u << 20) {
        std::string w = words[(rng() % words.size() * (rng() % words.size())) / words.size()];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(rng() % 12 == 0 ? '\n' : ' ');
    }
    return out;
}

std::vector<uint8_t> repeatedTo8MiB(const std::vector<uint8_t>& unit) {
    std::vector<uint8_t> t;
    t.reserve(kTextSize);
    while (t.size() < kTextSize) t.insert(t.end(), unit.begin(), unit.end());
    t.resize(kTextSize);
    return t;
}

const std::vector<uint8_t>& corpus(int which) {
    static const std::vector<uint8_t> licenses = [] {
        std::vector<uint8_t> unit = licenseText();
        return repeatedTo8MiB(unit.size() >= 4096 ? unit : wordText());
    }();
    static const std::vector<uint8_t> words = repeatedTo8MiB(wordText());
    return which == 0 ? licenses : words;
}

std::vector<std::vector<uint8_t>> encodeAll(const std::vector<uint8_t>& text) {
    std::vector<std::vector<uint8_t>> records;
    std::vector<uint8_t> piece(text::kTextRecordSize);
    for (size_t at = 0; at < text.size(); at += text::kTextRecordSize) {
        size_t n = std::min(text::kTextRecordSize, text.size() - at);
        std::copy_n(text.begin() + ptrdiff_t(at), n, piece.begin());
        std::vector<uint8_t> out(text::encodeBound(n));
        out.resize(
            text::encodeDocRecord(std::span<uint8_t>(piece.data(), n), text::kCompressionDoc, out).value());
        records.push_back(std::move(out));
    }
    return records;
}

struct Timing {
    double wall = -1, cpu = -1;  // seconds; negative when the run failed
};

// Runs a command line; returns its wall time and its user + system time.
Timing timeCommand(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) return {};
    if (pid == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) _exit(126);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) < 0) return {};
    auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) * 1e-6; };
    return {std::chrono::duration<double>(end - start).count(),
            seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

struct PeerFigures {
    double encodeWall = 0, encodeCpu = 0, decodeWall = 0, decodeCpu = 0;  // MB/s
};

// The peer's throughput on the same text, best of three runs each.
const PeerFigures& peer(int which) {
    static PeerFigures figures[2];
    static bool measured[2] = {false, false};
    if (measured[which]) return figures[which];
    measured[which] = true;
    PeerFigures& f = figures[which];
    char dirTemplate[] = "/tmp/bench-doc-XXXXXX";
    if (!mkdtemp(dirTemplate)) return f;
    std::string dir = dirTemplate;
    std::string txt = dir + "/in.txt", pdb = dir + "/out.pdb", back = dir + "/back.txt";
    {
        std::ofstream out(txt, std::ios::binary);
        out.write(reinterpret_cast<const char*>(corpus(which).data()), std::streamsize(kTextSize));
    }
    const double mb = double(kTextSize) / 1e6;
    auto best = [&](const std::vector<std::string>& args, double& wallRate, double& cpuRate) {
        for (int i = 0; i < 3; ++i) {
            Timing t = timeCommand(args);
            if (t.wall <= 0) return;
            wallRate = std::max(wallRate, mb / t.wall);
            if (t.cpu > 0) cpuRate = std::max(cpuRate, mb / t.cpu);
        }
    };
    best({"txt2pdbdoc", "bench", txt, pdb}, f.encodeWall, f.encodeCpu);
    if (f.encodeWall > 0) best({"txt2pdbdoc", "-d", pdb, back}, f.decodeWall, f.decodeCpu);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return f;
}

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Fills the counters from our wall and CPU seconds over all iterations.
void report(benchmark::State& state, double wall, double cpu, double peerWall, double peerCpu) {
    const double mb = double(kTextSize) / 1e6 * double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kTextSize));
    const double oursWall = mb / wall, oursCpu = mb / cpu;
    state.counters["wall_MBps"] = oursWall;
    state.counters["cpu_MBps"] = oursCpu;
    if (peerWall > 0) {
        state.counters["peer_wall_MBps"] = peerWall;
        state.counters["x_peer_wall"] = oursWall / peerWall;
    }
    if (peerCpu > 0) {
        state.counters["peer_cpu_MBps"] = peerCpu;
        state.counters["x_peer_cpu"] = oursCpu / peerCpu;
    }
}

void BM_Encode(benchmark::State& state) {
    const auto& text = corpus(int(state.range(0)));
    const PeerFigures& p = peer(int(state.range(0)));
    std::vector<uint8_t> piece(text::kTextRecordSize);
    std::vector<uint8_t> out(text::encodeBound(text::kTextRecordSize));
    size_t encoded = 0;
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = threadCpuSeconds();
    for (auto _ : state) {
        encoded = 0;
        for (size_t at = 0; at < text.size(); at += text::kTextRecordSize) {
            size_t n = std::min(text::kTextRecordSize, text.size() - at);
            std::copy_n(text.begin() + ptrdiff_t(at), n, piece.begin());
            encoded += text::encodeDocRecord(std::span<uint8_t>(piece.data(), n), text::kCompressionDoc, out)
                           .value();
        }
        benchmark::DoNotOptimize(encoded);
    }
    const double cpu = threadCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    report(state, wall, cpu, p.encodeWall, p.encodeCpu);
    state.counters["ratio"] = double(encoded) / double(text.size());
}
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_Decode(benchmark::State& state) {
    const auto records = encodeAll(corpus(int(state.range(0))));
    const PeerFigures& p = peer(int(state.range(0)));
    std::vector<uint8_t> out(text::kTextRecordSize);
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = threadCpuSeconds();
    for (auto _ : state) {
        size_t total = 0;
        for (const auto& r : records) total += text::decodeDocRecord(r, text::kCompressionDoc, out);
        benchmark::DoNotOptimize(total);
        benchmark::ClobberMemory();
    }
    const double cpu = threadCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    report(state, wall, cpu, p.decodeWall, p.decodeCpu);
}
BENCHMARK(BM_Decode)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
