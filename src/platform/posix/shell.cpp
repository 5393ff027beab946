// The shell services on Linux: XDG folders, .desktop launchers, a pending-
// deletion list in the hive, fork/exec without a shell, and windows as
// abstract Unix datagram sockets (docs/platform.md).
#include "platform/shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system.h"

extern char** environ;

namespace platform::shell {

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// An environment variable that names an absolute path, else empty.
std::string absoluteEnv(const char* name) {
    std::optional<std::string> value = environment(name);
    if (value && !value->empty() && (*value)[0] == '/') return withoutTrailingSlashes(*value);
    return std::string();
}

std::string homeFolder() {
    std::optional<std::string> home = environment("HOME");
    return home && !home->empty() ? withoutTrailingSlashes(*home) : std::string();
}

// $XDG_CONFIG_HOME, else ~/.config; empty without a home.
std::string configHome() {
    if (std::string xdg = absoluteEnv("XDG_CONFIG_HOME"); !xdg.empty()) return xdg;
    std::string home = homeFolder();
    return home.empty() ? home : home + "/.config";
}

// Creates the folders along an absolute path (existing levels are fine).
bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        std::string level = path.substr(0, slash);
        if (!level.empty() && !isDirectory(level) && mkdir(level.c_str(), 0777) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos) return isDirectory(path);
    }
}

// The value of KEY="..." in user-dirs.dirs: "$HOME/..." or an absolute path
// between double quotes, with \" and \\ as escapes. Empty when absent or unusable.
std::string userDir(std::string_view key) {
    std::string config = configHome();
    std::vector<uint8_t> bytes;
    if (config.empty() || !readWholeFile(config + "/user-dirs.dirs", bytes)) return std::string();
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string found;
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        while (!line.empty() && (line[0] == ' ' || line[0] == '\t')) line.remove_prefix(1);
        if (line.size() < key.size() + 2 || line.substr(0, key.size()) != key || line[key.size()] != '=')
            continue;
        line.remove_prefix(key.size() + 1);
        if (line.empty() || line[0] != '"') continue;
        std::string value;
        bool closed = false;
        for (size_t i = 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                closed = true;
                break;
            }
            if (c == '\\' && i + 1 < line.size()) c = line[++i];
            value += c;
        }
        if (!closed) continue;
        if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
            std::string home = homeFolder();
            if (home.empty()) continue;
            value = home + value.substr(5);
        }
        if (value.empty() || value[0] != '/') continue;
        found = value;  // the last assignment wins, as in the shell
    }
    return withoutTrailingSlashes(found);
}

// Splits a command line the way Windows programs split theirs: blanks
// separate arguments, double quotes group, 2n backslashes before a quote give
// n backslashes and a quote that groups, 2n+1 give n and a literal quote,
// other backslashes are themselves.
std::vector<std::string> splitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    size_t i = 0;
    while (true) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '\\') {
                size_t run = 0;
                while (i < line.size() && line[i] == '\\') ++run, ++i;
                if (i < line.size() && line[i] == '"') {
                    arg.append(run / 2, '\\');
                    if (run % 2) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(run, '\\');
                }
            } else if (line[i] == '"') {
                // "" inside a quoted part is a literal quote.
                if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                arg += line[i++];
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

bool isExecutableFile(const std::string& path) {
    return isRegularFile(path) && access(path.c_str(), X_OK) == 0;
}

// The program file for argv[0]: a name with '/' as it is, else the first
// executable of that name along PATH.
std::string programOnPath(const std::string& name) {
    if (name.empty()) return std::string();
    if (name.find('/') != std::string::npos) return name;
    std::string path = environment("PATH").value_or("/usr/local/bin:/usr/bin:/bin");
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = path.substr(start, end - start);
        std::string candidate = joinPath(folder.empty() ? "." : folder, name);
        if (isExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::string();
}

// Marks every descriptor from 3 up close-on-exec (in a forked child: only
// async-signal-safe calls).
void closeOnExecFrom3() {
#ifdef SYS_close_range
    if (syscall(SYS_close_range, 3U, ~0U, 4U /* CLOSE_RANGE_CLOEXEC */) == 0) return;
#endif
    long max = sysconf(_SC_OPEN_MAX);
    if (max < 0 || max > 65536) max = 65536;
    for (int fd = 3; fd < max; ++fd) fcntl(fd, F_SETFD, FD_CLOEXEC);
}

// --- .desktop launchers ---

// A key-file string value: \\, \n, \t, \r escaped.
std::string keyFileString(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// One Exec argument: in double quotes with ", `, $ and \ escaped by a
// backslash, and % doubled (field codes).
std::string execArgument(std::string_view arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        if (c == '%') out += '%';
        out += c;
    }
    return out + "\"";
}

std::string launcherName(std::string_view linkPath) {
    std::string_view name = fileNamePart(linkPath);
    constexpr std::string_view kSuffix = ".desktop";
    if (name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix)
        name.remove_suffix(kSuffix.size());
    return std::string(name);
}

// --- windows ---

constexpr uint32_t kMessageMagic = 0x57534D47;  // "WSMG"

struct Datagram {
    uint32_t magic;
    uint32_t message;
    uint64_t wParam;
    int64_t lParam;
};

uint64_t fnv1a(std::string_view text) {
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    return hash;
}

std::string hex64(uint64_t value) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, value >>= 4) out[size_t(i)] = kDigits[value & 15];
    return out;
}

// The abstract socket address of a class in this user's session: the uid,
// the hive (which tells sandboxes apart) and the class name folded to lower
// case, as class names compare without regard to case.
bool classAddress(std::string_view className, sockaddr_un& address, socklen_t& length) {
    if (className.empty()) return false;
    std::string folded(className);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    std::string hive = registry::hivePath();
    if (!hive.empty() && !isAbsolutePath(hive)) hive = joinPath(currentDirectory(), hive);
    std::string name = "brightfold-window/" + std::to_string(getuid()) + "/" + hex64(fnv1a(hive)) + "/";
    constexpr size_t kMaxName = sizeof(address.sun_path) - 1;
    if (name.size() + folded.size() > kMaxName || folded.find('\0') != std::string::npos)
        name += "#" + hex64(fnv1a(folded));
    else
        name += folded;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data(), name.size());  // sun_path[0] = 0: abstract
    length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return true;
}

class SocketWindow final : public WindowClass {
public:
    explicit SocketWindow(int fd) : fd_(fd) {}
    ~SocketWindow() override { close(fd_); }

    std::optional<PostedMessage> wait(int timeoutMs) override {
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
        while (true) {
            int waitMs = -1;
            if (timeoutMs >= 0) {
                auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now());
                waitMs = left.count() < 0 ? 0 : int(std::min<long long>(left.count(), INT_MAX));
            }
            pollfd pfd{fd_, POLLIN, 0};
            int ready = poll(&pfd, 1, waitMs);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) return std::nullopt;
            if (std::optional<PostedMessage> message = receive()) return message;
        }
    }

private:
    // One datagram; nothing when it is not a message from this user.
    std::optional<PostedMessage> receive() {
        Datagram data{};
        iovec iov{&data, sizeof data};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(ucred))];
        msghdr header{};
        header.msg_iov = &iov;
        header.msg_iovlen = 1;
        header.msg_control = control;
        header.msg_controllen = sizeof control;
        ssize_t got = recvmsg(fd_, &header, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (got != ssize_t(sizeof data) || (header.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) return std::nullopt;
        bool sameUser = false;
        for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
            if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_CREDENTIALS &&
                c->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
                ucred cred{};
                std::memcpy(&cred, CMSG_DATA(c), sizeof cred);
                sameUser = cred.uid == getuid();
            }
        }
        if (!sameUser || data.magic != kMessageMagic) return std::nullopt;
        return PostedMessage{data.message, uintptr_t(data.wParam), intptr_t(data.lParam)};
    }

    int fd_;
};

// A datagram socket connected to the class's window; -1 when there is none.
int connectToClass(std::string_view className) {
    sockaddr_un address;
    socklen_t length;
    if (!classAddress(className, address, length)) return -1;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// --- pending deletions ---

const registry::KeyPath& pendingKey() {
    static const registry::KeyPath key{"Software", "Brightfold", "Pending Deletions"};
    return key;
}

}  // namespace

bool initializeOle() { return true; }

std::string programPath() {
    std::string buffer(PATH_MAX, '\0');
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || size_t(n) >= buffer.size()) return std::string();
    buffer.resize(size_t(n));
    return buffer;
}

std::string systemFolder() {
    std::string folder = absoluteEnv("BRIGHTFOLD_SYSTEM_DIR");
    if (folder.empty()) {
        std::string data = absoluteEnv("XDG_DATA_HOME");
        if (data.empty()) {
            std::string home = homeFolder();
            if (home.empty()) return std::string();
            data = home + "/.local/share";
        }
        folder = data + "/brightfold/lib";
    }
    // The folder always exists on Windows; here it is made on first use.
    makeFolders(folder);
    return folder;
}

std::string desktopFolder() {
    if (std::string dir = userDir("XDG_DESKTOP_DIR"); !dir.empty()) return dir;
    std::string home = homeFolder();
    return home.empty() ? home : home + "/Desktop";
}

std::string applicationDataFolder() { return configHome(); }

std::string shortcutFileName(std::string_view name) { return std::string(name) + ".desktop"; }

long createShortcut(std::string_view targetPath, std::string_view linkPath, std::string_view description) {
    if (targetPath.empty() || linkPath.empty()) return EINVAL;
    std::string target(targetPath);
    // A program starts itself; a document opens with the user's program for it.
    std::string exec = isExecutableFile(target) ? execArgument(target) : "xdg-open " + execArgument(target);
    std::string text =
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Version=1.0\n"
        "Name=" +
        keyFileString(launcherName(linkPath)) + "\n";
    if (!description.empty()) text += "Comment=" + keyFileString(description) + "\n";
    text += "Exec=" + keyFileString(exec) + "\n";
    if (size_t start = fileNameStart(target); start > 1)
        text += "Path=" + keyFileString(target.substr(0, start - 1)) + "\n";
    text += "Terminal=false\n";
    std::string link(linkPath);
    if (!writeFileAtomically(link, text.data(), text.size())) return lastError() ? lastError() : EIO;
    if (chmod(link.c_str(), 0755) != 0) return errno;
    return 0;
}

bool deleteAtRestart(std::string_view path) {
    if (path.empty()) return false;
    std::string full(path);
    if (!isAbsolutePath(full)) full = joinPath(currentDirectory(), full);
    // One subkey per mark, named so that two processes never pick the same.
    static std::atomic<unsigned> counter = 0;
    registry::KeyPath key = pendingKey();
    key.push_back(hex64(currentFileTime()) + "-" + std::to_string(getpid()) + "-" +
                  std::to_string(++counter));
    if (registry::createKey(registry::Root::CurrentUser, key) != registry::kSuccess) return false;
    registry::Value value;
    value.text = full;
    return registry::setValue(registry::Root::CurrentUser, key, "", value) == registry::kSuccess;
}

std::vector<std::string> carryOutPendingDeletions() {
    std::vector<std::string> removed;
    std::vector<std::string> marks;
    if (registry::enumSubkeys(registry::Root::CurrentUser, pendingKey(), marks) != registry::kSuccess)
        return removed;
    for (const std::string& mark : marks) {
        registry::KeyPath key = pendingKey();
        key.push_back(mark);
        registry::Value value;
        if (registry::queryValue(registry::Root::CurrentUser, key, "", value) == registry::kSuccess &&
            value.type == registry::Value::Type::String && !value.text.empty()) {
            struct stat info {};
            if (lstat(value.text.c_str(), &info) == 0) {
                bool done = S_ISDIR(info.st_mode) ? removeDirectory(value.text) : deleteFile(value.text);
                if (done) removed.push_back(value.text);
            }
        }
        // A mark is tried once, as at a restart.
        registry::deleteKey(registry::Root::CurrentUser, key);
    }
    return removed;
}

bool launchCommand(std::string_view commandLine) {
    std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty()) return false;
    std::string program = programOnPath(args[0]);
    if (program.empty() || !isExecutableFile(program)) return false;
    // Everything the child needs is made before forking.
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;

    // Two forks: the middle process ends at once and is reaped here, so the
    // program itself is no child of ours and never becomes our zombie.
    pid_t middle = fork();
    if (middle < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (middle == 0) {
        pid_t child = fork();
        if (child != 0) _exit(child < 0 ? 1 : 0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        setsid();
        closeOnExecFrom3();
        execve(program.c_str(), argv.data(), environ);
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The report pipe closes on exec (nothing read) or carries the error.
    int error = 0;
    ssize_t got;
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    if (got != 0) return false;
    return !(WIFEXITED(status) && WEXITSTATUS(status) != 0);
}

std::string findProgram(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) return std::string();
    return programOnPath(std::string(name));
}

int runProgram(const std::vector<std::string>& arguments) {
    if (arguments.empty()) return -1;
    std::vector<std::string> args = arguments;
    std::string program = programOnPath(args[0]);
    if (program.empty() || !isExecutableFile(program)) return -1;
    // Everything the child needs is made before forking.
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int input = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0) return -1;
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        close(input);
        return -1;
    }
    pid_t child = fork();
    if (child < 0) {
        close(input);
        close(report[0]);
        close(report[1]);
        return -1;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        signal(SIGPIPE, SIG_DFL);
        dup2(input, 0);
        closeOnExecFrom3();
        execve(program.c_str(), argv.data(), environ);
        int error = errno;
        ssize_t ignored = write(report[1], &error, sizeof error);
        (void)ignored;
        _exit(127);
    }
    close(input);
    close(report[1]);
    // The report pipe closes on exec (nothing read) or carries the error.
    int error = 0;
    ssize_t got;
    do got = read(report[0], &error, sizeof error);
    while (got < 0 && errno == EINTR);
    close(report[0]);
    int status = 0;
    pid_t waited;
    do waited = waitpid(child, &status, 0);
    while (waited < 0 && errno == EINTR);
    if (got != 0 || waited != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool windowExists(std::string_view className) {
    int fd = connectToClass(className);
    if (fd < 0) return false;
    close(fd);
    return true;
}

bool postMessage(std::string_view className, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    int fd = connectToClass(className);
    if (fd < 0) return false;
    Datagram data{kMessageMagic, message, uint64_t(wParam), int64_t(lParam)};
    ssize_t sent;
    do sent = send(fd, &data, sizeof data, MSG_DONTWAIT | MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    close(fd);
    return sent == ssize_t(sizeof data);
}

std::unique_ptr<WindowClass> WindowClass::create(std::string_view className) {
    sockaddr_un address;
    socklen_t length;
    if (!classAddress(className, address, length)) return nullptr;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    int on = 1;
    if (setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        close(fd);
        return nullptr;
    }
    return std::make_unique<SocketWindow>(fd);
}

}  // namespace platform::shell
