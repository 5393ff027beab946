// Files, byte-range locks, folders and file times on Linux.
#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

#include "platform/faults.h"
#include "platform/posix/posix_util.h"

namespace platform {

using posix::fileTimeOf;

namespace {

thread_local int g_lastError = 0;

// Records the error of the failed call and keeps it in errno.
bool failWith(int error) {
    g_lastError = error;
    errno = error;
    return false;
}

bool failWithErrno() { return failWith(errno ? errno : EIO); }

bool checkFault(faults::Op op) {
    if (!faults::shouldFail(op)) return false;
    failWith(errno);
    return true;
}

bool writeAllTo(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failWithErrno();
        if (n == 0) return failWith(ENOSPC);
        p += n;
        size -= size_t(n);
    }
    return true;
}

// The folder part of a path ("." for a bare name) and the name part.
std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a fresh temporary file beside `path`, named ".<name>.<pid>-<n>.tmp"
// (hidden, so folder scans pass it by; the name cut to 200 bytes). Returns
// the descriptor or -1.
int createTempBeside(const std::string& path, std::string& tempPath) {
    static unsigned counter = 0;
    std::string folder = folderOf(path);
    std::string base = nameOf(path).substr(0, 200);  // the suffix must fit in a 255-byte name
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld-%u.tmp", long(::getpid()), counter++);
        std::string tempName = "." + base + suffix;
        tempPath = path.find('/') == std::string::npos ? tempName : joinPath(folder, tempName);
        int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) return fd;
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

// Removes a temporary file after a failure, keeping the failure's error.
void discardTemp(int fd, const std::string& tempPath) {
    int saved = g_lastError;
    if (fd >= 0) ::close(fd);
    ::unlink(tempPath.c_str());
    failWith(saved ? saved : EIO);
}

}  // namespace

// ---- paths ---------------------------------------------------------------

bool isAbsolutePath(std::string_view path) { return !path.empty() && path[0] == '/'; }

// ---- File ----------------------------------------------------------------

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

std::optional<File> File::open(const std::string& path, Mode mode, int* error) {
    auto refuse = [&](int e) -> std::optional<File> {
        failWith(e);
        if (error) *error = e;
        return std::nullopt;
    };
    if (faults::shouldFail(faults::Op::Open)) return refuse(errno);
    int flags = O_CLOEXEC;
    switch (mode) {
        case Mode::Read:
            flags |= O_RDONLY;
            break;
        case Mode::ReadWrite:
            flags |= O_RDWR;
            break;
        case Mode::ReadWriteCreate:
            flags |= O_RDWR | O_CREAT;
            break;
        case Mode::CreateTruncate:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
    }
    int fd;
    do fd = ::open(path.c_str(), flags, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return refuse(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // a folder is not a file
        ::close(fd);
        return refuse(EISDIR);
    }
    if (error) *error = 0;
    return File(fd);
}

long long File::read(void* buffer, size_t size) {
    if (fd_ < 0) return failWith(EBADF), -1;
    if (checkFault(faults::Op::Read)) return -1;
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0) return n;
        if (errno != EINTR) return failWithErrno(), -1;
    }
}

bool File::readExact(void* buffer, size_t size) {
    auto* bytes = static_cast<uint8_t*>(buffer);
    size_t have = 0;
    while (have < size) {
        long long got = read(bytes + have, size - have);
        if (got <= 0) return false;
        have += size_t(got);
    }
    return true;
}

bool File::write(const void* data, size_t size) {
    if (fd_ < 0) return failWith(EBADF);
    if (checkFault(faults::Op::Write)) return false;
    return writeAllTo(fd_, data, size);
}

bool File::seek(uint64_t offset) {
    if (fd_ < 0) return failWith(EBADF);
    if (offset > uint64_t(INT64_MAX)) return failWith(EINVAL);
    if (::lseek(fd_, off_t(offset), SEEK_SET) < 0) return failWithErrno();
    return true;
}

long long File::size() const {
    struct stat st {};
    if (fd_ < 0) return failWith(EBADF), -1;
    if (::fstat(fd_, &st) != 0) return failWithErrno(), -1;
    return st.st_size;
}

bool File::flush() {
    if (fd_ < 0) return failWith(EBADF);
    if (::fsync(fd_) != 0 && errno != EINVAL) return failWithErrno();  // EINVAL: no disk behind it
    return true;
}

FileTime File::lastWriteTime() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return 0;
    return fileTimeOf(st.st_mtim);
}

File::LockResult File::lockRange(uint64_t offset, uint64_t length) {
    // A conflicting OFD lock is refused with EAGAIN or EACCES; everything else
    // (ENOLCK, EINVAL where a file system has no OFD locks, EBADF) is a failure.
    auto refused = [] {
        return g_lastError == EAGAIN || g_lastError == EACCES ? LockResult::HeldElsewhere
                                                              : LockResult::Failed;
    };
    if (fd_ < 0) return failWith(EBADF), LockResult::Failed;
    if (checkFault(faults::Op::Lock)) return refused();
    // A zero length would lock to the end of the file on POSIX; LockFile has no such meaning.
    if (length == 0 || offset > uint64_t(INT64_MAX) || length > uint64_t(INT64_MAX) - offset)
        return failWith(EINVAL), LockResult::Failed;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(offset);
    lock.l_len = off_t(length);
    int rc;
    do rc = ::fcntl(fd_, F_OFD_SETLK, &lock);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) return failWithErrno(), refused();
    return LockResult::Taken;
}

bool File::unlockRange(uint64_t offset, uint64_t length) {
    if (fd_ < 0) return failWith(EBADF);
    if (length == 0 || offset > uint64_t(INT64_MAX) || length > uint64_t(INT64_MAX) - offset)
        return failWith(EINVAL);
    struct flock lock {};
    lock.l_type = F_UNLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = off_t(offset);
    lock.l_len = off_t(length);
    if (::fcntl(fd_, F_OFD_SETLK, &lock) != 0) return failWithErrno();
    return true;
}

void File::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

// ---- folders and whole files ----------------------------------------------

bool listDirectory(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    if (checkFault(faults::Op::ListDir)) return false;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return failWithErrno();
    int dirFd = ::dirfd(dir);
    for (;;) {
        errno = 0;
        dirent* item = ::readdir(dir);
        if (!item) {
            int error = errno;
            ::closedir(dir);
            if (error) return failWith(error);
            return true;
        }
        std::string name = item->d_name;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = name;
        entry.hidden = name[0] == '.';
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, 0) == 0) {
            entry.directory = S_ISDIR(st.st_mode);
            entry.system = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
            entry.size = S_ISREG(st.st_mode) ? uint64_t(st.st_size) : 0;
            entry.lastWrite = fileTimeOf(st.st_mtim);
        } else {
            // A dangling link or an entry that went away: not a file to use.
            entry.system = true;
            if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                entry.lastWrite = fileTimeOf(st.st_mtim);
        }
        entries.push_back(std::move(entry));
    }
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {
    }, second{};
    if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<FileTime> lastWriteTime(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        failWithErrno();
        return std::nullopt;
    }
    return fileTimeOf(st.st_mtim);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::optional<File> file = File::open(path, File::Mode::Read);
    if (!file) return false;
    long long size = file->size();
    if (size > 0) bytes.reserve(size_t(size));
    uint8_t buffer[65536];
    for (;;) {
        long long n = file->read(buffer, sizeof buffer);
        if (n < 0) {
            bytes.clear();
            return false;
        }
        if (n == 0) return true;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size) {
    std::optional<FileReplacement> out = FileReplacement::begin(path);
    return out && out->write(data, size) && out->commit();
}

FileReplacement::FileReplacement(NativeFile fd, std::string path, std::string tempPath)
    : fd_(fd), path_(std::move(path)), tempPath_(std::move(tempPath)) {}

FileReplacement::~FileReplacement() { abandon(); }

FileReplacement::FileReplacement(FileReplacement&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      path_(std::move(other.path_)),
      tempPath_(std::exchange(other.tempPath_, std::string())) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        abandon();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
        tempPath_ = std::exchange(other.tempPath_, std::string());
    }
    return *this;
}

std::optional<FileReplacement> FileReplacement::begin(const std::string& path) {
    if (checkFault(faults::Op::Open)) return std::nullopt;
    std::string tempPath;
    int fd = createTempBeside(path, tempPath);
    if (fd < 0) return failWithErrno(), std::nullopt;
    return FileReplacement(fd, path, std::move(tempPath));
}

bool FileReplacement::write(const void* data, size_t size) {
    if (fd_ < 0) return failWith(EBADF);
    if (checkFault(faults::Op::Write)) return false;
    return writeAllTo(fd_, data, size);
}

bool FileReplacement::commit() {
    if (fd_ < 0) return failWith(EBADF);
    struct stat old {};
    if (::stat(path_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd_, old.st_mode & 0777);
    if (::fsync(fd_) != 0 && errno != EINVAL)
        return failWithErrno(), abandon(), false;  // EINVAL: no disk behind it
    if (::close(std::exchange(fd_, -1)) != 0) return failWithErrno(), abandon(), false;
    if (checkFault(faults::Op::Rename)) return abandon(), false;
    if (::rename(tempPath_.c_str(), path_.c_str()) != 0) return failWithErrno(), abandon(), false;
    tempPath_.clear();
    return true;
}

// Keeps the error of the failure that led here (errno and lastError()).
void FileReplacement::abandon() {
    if (tempPath_.empty()) return;
    int saved = errno;
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
    errno = saved;
}

bool copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (checkFault(faults::Op::Copy)) return false;
    if (failIfExists && fileExists(to)) return failWith(EEXIST);
    int in;
    do in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    while (in < 0 && errno == EINTR);
    if (in < 0) return failWithErrno();
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        int error = errno && !S_ISDIR(st.st_mode) ? errno : EISDIR;
        ::close(in);
        return failWith(error);
    }
    std::string tempPath;
    int out = createTempBeside(to, tempPath);
    if (out < 0) {
        failWithErrno();
        ::close(in);
        return false;
    }
    auto abandon = [&]() {
        ::close(in);
        discardTemp(out, tempPath);
        return false;
    };
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failWithErrno(), abandon();
        if (n == 0) break;
        if (!writeAllTo(out, buffer, size_t(n))) return abandon();
    }
    ::close(in);
    in = -1;
    ::fchmod(out, st.st_mode & 07777);
    timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out, times) != 0 || ::fsync(out) != 0) {
        failWithErrno();
        discardTemp(out, tempPath);
        return false;
    }
    if (::close(out) != 0) {
        failWithErrno();
        discardTemp(-1, tempPath);
        return false;
    }
    int moved = failIfExists ? ::renameat2(AT_FDCWD, tempPath.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE)
                             : ::rename(tempPath.c_str(), to.c_str());
    if (moved != 0 && failIfExists && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without no-replace renames: a hard link fails on an existing name too.
        moved = ::link(tempPath.c_str(), to.c_str());
        if (moved == 0) ::unlink(tempPath.c_str());
    }
    if (moved != 0) {
        failWithErrno();
        discardTemp(-1, tempPath);
        return false;
    }
    return true;
}

bool deleteFile(const std::string& path) {
    if (checkFault(faults::Op::Delete)) return false;
    if (::unlink(path.c_str()) != 0) return failWithErrno();
    return true;
}

bool createDirectory(const std::string& path) {
    if (::mkdir(path.c_str(), 0777) != 0) return failWithErrno();
    return true;
}

bool removeDirectory(const std::string& path) {
    if (checkFault(faults::Op::Delete)) return false;
    if (::rmdir(path.c_str()) != 0) return failWithErrno();
    return true;
}

bool renameFile(const std::string& from, const std::string& to) {
    if (checkFault(faults::Op::Rename)) return false;
    if (::rename(from.c_str(), to.c_str()) != 0) return failWithErrno();
    return true;
}

std::string currentDirectory() {
    std::vector<char> buffer(256);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size())) return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            failWithErrno();
            return std::string();
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool setCurrentDirectory(const std::string& path) {
    if (::chdir(path.c_str()) != 0) return failWithErrno();
    return true;
}

int lastError() { return g_lastError; }

std::string errorText(int error) {
    char buffer[256] = {};
    // GNU strerror_r returns the text (possibly a static one), XSI fills the buffer.
    auto pick = [&](auto result) -> std::string {
        if constexpr (std::is_same_v<decltype(result), char*>)
            return result ? result : buffer;
        else
            return buffer;
    };
    return pick(::strerror_r(error, buffer, sizeof buffer));
}

}  // namespace platform
