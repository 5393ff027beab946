// The process helpers of process.h on Windows: programs are started with
// CreateProcessA, their standard streams going through files. Windows has no
// fork, so runInChild cannot run a function in a copy of this process: it
// answers -1, and the tests built on it are not run there (docs/windows.md).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/process.h"
#include "support/test_support.h"

namespace testsupport {

namespace {

constexpr const char* kChildMarker = "BRIGHTFOLD_TEST_CHILD";
constexpr const char* kRanMarker = "BRIGHTFOLD_TEST_CHILD_RAN";

std::string textOf(const std::string& path) {
    auto bytes = readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// One argument quoted for the command line as the C runtime splits it.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

HANDLE inheritable(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    return ::CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
}

// This process's environment with the given variables set.
std::vector<char> environmentBlock(const std::vector<std::pair<std::string, std::string>>& env) {
    std::vector<std::string> entries;
    char* block = ::GetEnvironmentStringsA();
    for (const char* p = block; p && *p; p += std::strlen(p) + 1) entries.emplace_back(p);
    if (block) ::FreeEnvironmentStringsA(block);
    for (const auto& [name, value] : env) {
        std::string prefix = name + "=";
        std::erase_if(entries, [&](const std::string& e) {
            return _strnicmp(e.c_str(), prefix.c_str(), prefix.size()) == 0;
        });
        entries.push_back(prefix + value);
    }
    std::vector<char> out;
    for (const std::string& e : entries) out.insert(out.end(), e.c_str(), e.c_str() + e.size() + 1);
    out.push_back('\0');
    return out;
}

}  // namespace

ProcessResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         const std::string& input) {
    ProcessResult r;
    TempDir dir;
    const std::string outPath = dir.file("out.txt"), errPath = dir.file("err.txt"),
                      inPath = dir.file("in.txt");
    writeFile(inPath, input);
    HANDLE in = inheritable(inPath, GENERIC_READ, OPEN_EXISTING);
    HANDLE out = inheritable(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritable(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    std::string commandLine = quoted(program);
    for (const std::string& a : args) commandLine += " " + quoted(a);
    std::vector<char> block = environmentBlock(env);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION child{};
    bool started = in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
                   ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                    block.data(), nullptr, &startup, &child);
    for (HANDLE h : {in, out, err})
        if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    if (!started) {
        r.exitCode = 127;
        return r;
    }
    ::WaitForSingleObject(child.hProcess, INFINITE);
    DWORD code = 0;
    r.exitCode = ::GetExitCodeProcess(child.hProcess, &code) && code <= 255 ? int(code) : -1;
    ::CloseHandle(child.hThread);
    ::CloseHandle(child.hProcess);
    r.out = textOf(outPath);
    r.err = textOf(errPath);
    return r;
}

int runInChild(const std::string&, const std::function<int()>&) { return -1; }

bool inChild() {
    const char* marker = std::getenv(kChildMarker);
    return marker && *marker == '1';
}

void markChildRan() {
    if (const char* path = std::getenv(kRanMarker)) writeFile(path, std::string());
}

int runTestInChild(const std::string& testName, const std::vector<std::pair<std::string, std::string>>& env) {
    TempDir dir;
    const std::string ranPath = dir.file("ran");
    std::vector<std::pair<std::string, std::string>> childEnv = {{kChildMarker, "1"}, {kRanMarker, ranPath}};
    childEnv.insert(childEnv.end(), env.begin(), env.end());
    char self[MAX_PATH] = {};
    if (!::GetModuleFileNameA(nullptr, self, MAX_PATH)) return -1;
    ProcessResult r = runProgram(self, {"--gtest_filter=" + testName, "--gtest_brief=1"}, childEnv);
    std::fputs(r.out.c_str(), stdout);
    std::fputs(r.err.c_str(), stderr);
    if (r.exitCode < 0) return -1;
    if (::GetFileAttributesA(ranPath.c_str()) == INVALID_FILE_ATTRIBUTES) return -2;
    return r.exitCode;
}

// The foreign hosts are ELF programs (dlopen, ctypes); the Windows host is
// tests/platform/win32_host.c, run as a test of its own.
std::optional<ProcessResult> runLibraryHost(LibraryHost, const std::string&, bool) { return std::nullopt; }

void expectHostsEndCleanly(const std::string&) { GTEST_SKIP() << "the foreign hosts are ELF programs"; }

bool addressSanitizerBuild() { return false; }

bool limitAddressSpaceGrowth(size_t) { return false; }

}  // namespace testsupport
