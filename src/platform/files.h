// platform/files.h - files, byte-range locks, folders and file times.
//
// Paths are native: on Linux the separator is '/' and there are no drive
// letters. File times are 64-bit FILETIME values: 100 ns units since
// 1601-01-01 UTC, taken from the file's modification time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform_os.h"

namespace platform {

using FileTime = uint64_t;

// A helper that joins two path parts with the native separator
// (kPathSeparator, from platform_os.h).
std::string joinPath(std::string_view folder, std::string_view name);
// True for a path that names a root (Windows: "C:\..." or "\\server"; Linux:
// begins with '/').
bool isAbsolutePath(std::string_view path);
// Where the file name of a path begins: after its last '/' or '\\', 0 without
// one. Both separators count on every OS, as paths from callers and names from
// the handheld may be written either way.
size_t fileNameStart(std::string_view path);
// The file name of a path: what follows fileNameStart.
std::string_view fileNamePart(std::string_view path);

// A file opened by this process. Move-only; the destructor closes it (and so
// releases its byte-range locks) without reporting errors.
class File {
public:
    enum class Mode {
        Read,             // existing file, read only
        ReadWrite,        // existing file, read and write
        ReadWriteCreate,  // read and write, created when missing, not truncated
        CreateTruncate,   // write only, created or emptied
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens a file; on failure returns an empty optional and, when error is
    // given, stores the system error number there.
    static std::optional<File> open(const std::string& path, Mode mode, int* error = nullptr);

    bool isOpen() const { return fd_ != kNoNativeFile; }
    // Reads up to size bytes from the current position; returns the count
    // read, 0 at the end of the file, or -1 on error.
    long long read(void* buffer, size_t size);
    // Reads exactly size bytes (retrying short reads); false when the file
    // ends first or a read fails.
    bool readExact(void* buffer, size_t size);
    // Writes all size bytes (retrying short writes); false on any failure.
    bool write(const void* data, size_t size);
    bool seek(uint64_t offset);
    // Size of the file in bytes, or -1.
    long long size() const;
    bool flush();
    FileTime lastWriteTime() const;
    // Tries once to take an exclusive lock on the byte range, the way
    // LockFile does on Windows. Locks are per open file, so two opens in one
    // process exclude each other too. HeldElsewhere means another open file
    // description holds (part of) the range, so trying again later can work;
    // Failed is any other error (no lock support, a bad range or handle),
    // which waiting does not cure. lastError() holds the error of both.
    enum class LockResult { Taken, HeldElsewhere, Failed };
    LockResult lockRange(uint64_t offset, uint64_t length);
    // lockRange as a yes or no: true only when taken.
    bool tryLockRange(uint64_t offset, uint64_t length) {
        return lockRange(offset, length) == LockResult::Taken;
    }
    bool unlockRange(uint64_t offset, uint64_t length);
    void close();

private:
    explicit File(NativeFile fd) : fd_(fd) {}
    NativeFile fd_ = kNoNativeFile;
};

struct DirEntry {
    std::string name;
    bool directory = false;
    bool hidden = false;  // Linux: the name begins with '.'
    bool system = false;  // Linux: neither a regular file nor a folder
    uint64_t size = 0;
    FileTime lastWrite = 0;
};

// Lists the entries of a folder (without "." and ".."), in no set order.
// Returns false when the folder cannot be read.
bool listDirectory(const std::string& folder, std::vector<DirEntry>& entries);

bool fileExists(const std::string& path);  // any kind of entry
bool isRegularFile(const std::string& path);
bool isDirectory(const std::string& path);
// Whether two paths name one and the same file (same device and file number,
// links followed); false when either cannot be examined.
bool sameFile(const std::string& a, const std::string& b);
std::optional<FileTime> lastWriteTime(const std::string& path);

// Whole-file helpers.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Replaces a file safely: writes a temporary file in the same folder, flushes
// it to disk and renames it over the old one. On failure the old file is
// left as it was and no temporary file remains.
bool writeFileAtomically(const std::string& path, const void* data, size_t size);

// The same replacement for content written piece by piece: begin() creates
// the temporary file beside the target, write() adds to it, commit() flushes
// it and renames it over the target (which keeps its permission bits).
// abandon(), or destroying the object without a commit, removes the
// temporary file and leaves the target as it was.
class FileReplacement {
public:
    static std::optional<FileReplacement> begin(const std::string& path);
    ~FileReplacement();
    FileReplacement(FileReplacement&& other) noexcept;
    FileReplacement& operator=(FileReplacement&& other) noexcept;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool write(const void* data, size_t size);  // all bytes, or false
    bool commit();                              // false: abandoned
    void abandon();

private:
    FileReplacement(NativeFile fd, std::string path, std::string tempPath);
    NativeFile fd_ = kNoNativeFile;
    std::string path_;
    std::string tempPath_;  // empty once committed or abandoned
};

// CopyFile: copies bytes and modification time. With failIfExists an existing
// destination is left alone and the copy fails. The copy replaces the
// destination atomically.
bool copyFile(const std::string& from, const std::string& to, bool failIfExists);
bool deleteFile(const std::string& path);
bool createDirectory(const std::string& path);                    // one level
bool removeDirectory(const std::string& path);                    // empty folder only
bool renameFile(const std::string& from, const std::string& to);  // replaces

// The process's current folder (guest libraries never change it; the
// installer does).
std::string currentDirectory();
bool setCurrentDirectory(const std::string& path);

// The system error number of the last failed call of this thread, and its text.
int lastError();
std::string errorText(int error);

}  // namespace platform
