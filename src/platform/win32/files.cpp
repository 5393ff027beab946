// Files, byte-range locks, folders and file times on Windows.
//
// Every file is opened with shared reading, writing and deletion, so that two
// handles of the sync lock meet only at LockFile, and a file that a reader
// holds open can still be replaced by renaming over it. Errors are kept as
// errno values (win32_util.h), as on POSIX.
#include "platform/files.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/faults.h"
#include "platform/win32/win32_util.h"

namespace platform {

using win32::errnoOf;
using win32::fileTimeOf;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

thread_local int g_lastError = 0;

bool failWith(int error) {
    g_lastError = error;
    errno = error;
    return false;
}

bool failWithLastError() { return failWith(errnoOf(::GetLastError())); }

bool checkFault(faults::Op op) {
    if (!faults::shouldFail(op)) return false;
    failWith(errno);
    return true;
}

HANDLE handleOf(NativeFile file) { return static_cast<HANDLE>(file); }

bool writeAllTo(HANDLE handle, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD written = 0;
        if (!::WriteFile(handle, p, chunk, &written, nullptr)) return failWithLastError();
        if (written == 0) return failWith(ENOSPC);
        p += written;
        size -= written;
    }
    return true;
}

// A handle for CreateFileA's answer: nullptr for a failure.
HANDLE openHandle(const std::string& path, DWORD access, DWORD disposition) {
    HANDLE handle =
        ::CreateFileA(path.c_str(), access, kShareAll, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

DWORD attributesOf(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

std::string folderOf(const std::string& path) {
    size_t cut = fileNameStart(path);
    if (cut == 0) return std::string();
    return path.substr(0, cut);  // keeps the separator: "C:\" stays a root
}

// Creates a fresh temporary file beside `path`, named ".<name>.<pid>-<n>.tmp"
// (folder scans pass names with a leading '.' by, as on POSIX).
HANDLE createTempBeside(const std::string& path, std::string& tempPath) {
    static unsigned counter = 0;
    std::string folder = folderOf(path);
    std::string base = std::string(fileNamePart(path)).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%lu-%u.tmp", ::GetCurrentProcessId(), counter++);
        tempPath = folder + "." + base + suffix;
        HANDLE handle = openHandle(tempPath, GENERIC_WRITE, CREATE_NEW);
        if (handle) return handle;
        DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            failWith(errnoOf(error));
            return nullptr;
        }
    }
    failWith(EEXIST);
    return nullptr;
}

bool moveOver(const std::string& from, const std::string& to, bool replace) {
    DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!::MoveFileExA(from.c_str(), to.c_str(), flags)) return failWithLastError();
    return true;
}

// Removes a temporary file after a failure, keeping the failure's error.
void discardTemp(HANDLE handle, const std::string& tempPath) {
    int saved = g_lastError;
    if (handle) ::CloseHandle(handle);
    ::DeleteFileA(tempPath.c_str());
    failWith(saved ? saved : EIO);
}

bool validRange(uint64_t offset, uint64_t length) { return length != 0 && offset <= UINT64_MAX - length; }

}  // namespace

// ---- paths ---------------------------------------------------------------

// "C:..." with a drive letter, "\\server\share", and a path from the root of
// the current drive ("\..." or "/...") are all taken as they are.
bool isAbsolutePath(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':') return true;
    return !path.empty() && (path[0] == '\\' || path[0] == '/');
}

// ---- File ----------------------------------------------------------------

File::~File() { close(); }

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, kNoNativeFile)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, kNoNativeFile);
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
    DWORD attributes = attributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return refuse(EISDIR);
    DWORD access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_EXISTING;
    switch (mode) {
        case Mode::Read:
            access = GENERIC_READ;
            break;
        case Mode::ReadWrite:
            break;
        case Mode::ReadWriteCreate:
            disposition = OPEN_ALWAYS;
            break;
        case Mode::CreateTruncate:
            access = GENERIC_WRITE;
            disposition = CREATE_ALWAYS;
            break;
    }
    HANDLE handle = openHandle(path, access, disposition);
    if (!handle) return refuse(errnoOf(::GetLastError()));
    if (error) *error = 0;
    return File(handle);
}

long long File::read(void* buffer, size_t size) {
    if (!fd_) return failWith(EBADF), -1;
    if (checkFault(faults::Op::Read)) return -1;
    DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
    DWORD got = 0;
    if (!::ReadFile(handleOf(fd_), buffer, chunk, &got, nullptr)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
        return failWithLastError(), -1;
    }
    return got;
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
    if (!fd_) return failWith(EBADF);
    if (checkFault(faults::Op::Write)) return false;
    return writeAllTo(handleOf(fd_), data, size);
}

bool File::seek(uint64_t offset) {
    if (!fd_) return failWith(EBADF);
    if (offset > uint64_t(INT64_MAX)) return failWith(EINVAL);
    LARGE_INTEGER to;
    to.QuadPart = LONGLONG(offset);
    if (!::SetFilePointerEx(handleOf(fd_), to, nullptr, FILE_BEGIN)) return failWithLastError();
    return true;
}

long long File::size() const {
    if (!fd_) return failWith(EBADF), -1;
    LARGE_INTEGER size;
    if (!::GetFileSizeEx(handleOf(fd_), &size)) return failWithLastError(), -1;
    return size.QuadPart;
}

bool File::flush() {
    if (!fd_) return failWith(EBADF);
    if (!::FlushFileBuffers(handleOf(fd_)) && ::GetLastError() != ERROR_INVALID_HANDLE)
        return failWithLastError();
    return true;
}

FileTime File::lastWriteTime() const {
    FILETIME written{};
    if (!fd_ || !::GetFileTime(handleOf(fd_), nullptr, nullptr, &written)) return 0;
    return fileTimeOf(written);
}

File::LockResult File::lockRange(uint64_t offset, uint64_t length) {
    auto refused = [] {
        return g_lastError == EAGAIN || g_lastError == EACCES ? LockResult::HeldElsewhere
                                                              : LockResult::Failed;
    };
    if (!fd_) return failWith(EBADF), LockResult::Failed;
    if (checkFault(faults::Op::Lock)) return refused();
    if (!validRange(offset, length)) return failWith(EINVAL), LockResult::Failed;
    if (!::LockFile(handleOf(fd_), DWORD(offset), DWORD(offset >> 32), DWORD(length), DWORD(length >> 32)))
        return failWithLastError(), refused();
    return LockResult::Taken;
}

bool File::unlockRange(uint64_t offset, uint64_t length) {
    if (!fd_) return failWith(EBADF);
    if (!validRange(offset, length)) return failWith(EINVAL);
    if (!::UnlockFile(handleOf(fd_), DWORD(offset), DWORD(offset >> 32), DWORD(length), DWORD(length >> 32)))
        return failWithLastError();
    return true;
}

void File::close() {
    if (fd_) ::CloseHandle(handleOf(std::exchange(fd_, kNoNativeFile)));
}

// ---- folders and whole files ----------------------------------------------

bool listDirectory(const std::string& folder, std::vector<DirEntry>& entries) {
    entries.clear();
    if (checkFault(faults::Op::ListDir)) return false;
    WIN32_FIND_DATAA found;
    HANDLE scan = ::FindFirstFileA(joinPath(folder, "*").c_str(), &found);
    if (scan == INVALID_HANDLE_VALUE) {
        DWORD error = ::GetLastError();
        // An empty drive root has no entries at all; a missing folder fails.
        if (error == ERROR_FILE_NOT_FOUND && isDirectory(folder)) return true;
        return failWith(errnoOf(error));
    }
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        DirEntry entry;
        entry.name = name;
        entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Names with a leading '.' count as hidden, as on POSIX, so that our
        // own temporary files are passed by as well.
        entry.hidden = (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0 || name[0] == '.';
        entry.system = (found.dwFileAttributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE)) != 0;
        entry.size = entry.directory ? 0 : (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entry.lastWrite = fileTimeOf(found.ftLastWriteTime);
        entries.push_back(std::move(entry));
    } while (::FindNextFileA(scan, &found));
    DWORD error = ::GetLastError();
    ::FindClose(scan);
    if (error != ERROR_NO_MORE_FILES) return failWith(errnoOf(error));
    return true;
}

bool fileExists(const std::string& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

bool isRegularFile(const std::string& path) {
    DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES &&
           !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
}

bool isDirectory(const std::string& path) {
    DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// The volume and file number of a file or folder (links followed).
bool fileIdentity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE handle = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return ok;
}

}  // namespace

bool sameFile(const std::string& a, const std::string& b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    if (!fileIdentity(a, first) || !fileIdentity(b, second)) return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

std::optional<FileTime> lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) {
        failWithLastError();
        return std::nullopt;
    }
    return fileTimeOf(data.ftLastWriteTime);
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
    : fd_(std::exchange(other.fd_, kNoNativeFile)),
      path_(std::move(other.path_)),
      tempPath_(std::exchange(other.tempPath_, std::string())) {}

FileReplacement& FileReplacement::operator=(FileReplacement&& other) noexcept {
    if (this != &other) {
        abandon();
        fd_ = std::exchange(other.fd_, kNoNativeFile);
        path_ = std::move(other.path_);
        tempPath_ = std::exchange(other.tempPath_, std::string());
    }
    return *this;
}

std::optional<FileReplacement> FileReplacement::begin(const std::string& path) {
    if (checkFault(faults::Op::Open)) return std::nullopt;
    std::string tempPath;
    HANDLE handle = createTempBeside(path, tempPath);
    if (!handle) return std::nullopt;
    return FileReplacement(handle, path, std::move(tempPath));
}

bool FileReplacement::write(const void* data, size_t size) {
    if (!fd_) return failWith(EBADF);
    if (checkFault(faults::Op::Write)) return false;
    return writeAllTo(handleOf(fd_), data, size);
}

bool FileReplacement::commit() {
    if (!fd_) return failWith(EBADF);
    if (!::FlushFileBuffers(handleOf(fd_))) return failWithLastError(), abandon(), false;
    if (!::CloseHandle(handleOf(std::exchange(fd_, kNoNativeFile))))
        return failWithLastError(), abandon(), false;
    if (checkFault(faults::Op::Rename)) return abandon(), false;
    if (!moveOver(tempPath_, path_, true)) return abandon(), false;
    tempPath_.clear();
    return true;
}

void FileReplacement::abandon() {
    if (tempPath_.empty()) return;
    int saved = errno;
    if (fd_) ::CloseHandle(handleOf(std::exchange(fd_, kNoNativeFile)));
    ::DeleteFileA(tempPath_.c_str());
    tempPath_.clear();
    errno = saved;
}

// The bytes and times go into a temporary file beside the destination, which
// is then moved into place, so a reader never sees half a copy.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists) {
    if (checkFault(faults::Op::Copy)) return false;
    if (failIfExists && fileExists(to)) return failWith(EEXIST);
    if (isDirectory(from)) return failWith(EISDIR);
    std::string tempPath;
    HANDLE reserved = createTempBeside(to, tempPath);
    if (!reserved) return false;
    ::CloseHandle(reserved);
    if (!::CopyFileA(from.c_str(), tempPath.c_str(), FALSE)) {
        failWithLastError();
        discardTemp(nullptr, tempPath);
        return false;
    }
    if (!moveOver(tempPath, to, !failIfExists)) {
        discardTemp(nullptr, tempPath);
        return false;
    }
    return true;
}

bool deleteFile(const std::string& path) {
    if (checkFault(faults::Op::Delete)) return false;
    if (!::DeleteFileA(path.c_str())) return failWithLastError();
    return true;
}

bool createDirectory(const std::string& path) {
    if (!::CreateDirectoryA(path.c_str(), nullptr)) return failWithLastError();
    return true;
}

bool removeDirectory(const std::string& path) {
    if (checkFault(faults::Op::Delete)) return false;
    if (!::RemoveDirectoryA(path.c_str())) return failWithLastError();
    return true;
}

bool renameFile(const std::string& from, const std::string& to) {
    if (checkFault(faults::Op::Rename)) return false;
    return moveOver(from, to, true);
}

std::string currentDirectory() {
    DWORD needed = ::GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) return failWithLastError(), std::string();
    std::string buffer(needed, '\0');
    DWORD got = ::GetCurrentDirectoryA(needed, buffer.data());
    if (got == 0 || got >= needed) return failWithLastError(), std::string();
    buffer.resize(got);
    return buffer;
}

bool setCurrentDirectory(const std::string& path) {
    if (!::SetCurrentDirectoryA(path.c_str())) return failWithLastError();
    return true;
}

int lastError() { return g_lastError; }

std::string errorText(int error) { return std::strerror(error); }

}  // namespace platform
