// foundation/sync_lock.h - the one-byte lock on sync.dat.
//
// sync.dat lies in the product folder and is at least four bytes long:
//   off width
//    0   4    LockMode of the last process that took the lock, little-endian
//             (1 HotSync notification, 2 desktop side, 0 text command line)
// Byte 0 is the lock byte. It is the only exclusion between the processes
// that share the link registry file; it is held for the span of one refresh
// (lock, save or drop, reload, unlock), never across a dialog.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/files.h"

namespace foundation {

enum LockMode : int32_t {
    kLockModeCommandLine = 0,  // the text library's one-call export
    kLockModeHotSync = 1,
    kLockModeDesktop = 2,
};

constexpr const char* kSyncFileName = "sync.dat";
// How often LockSyncFile tries to open sync.dat before giving up, and the
// pause between two tries. Waiting for the lock itself is not bounded: the
// holder releases it at the end of its refresh, or when its process ends.
constexpr int kSyncOpenAttempts = 5;
constexpr unsigned kSyncOpenRetryMs = 200;
constexpr unsigned kSyncLockRetryMs = 1000;

class SyncFile {
public:
    struct Options {
        // The text library creates a missing sync.dat; the workbook library
        // requires it (a missing one means "not installed properly").
        bool createWhenMissing = false;
        // Called after each failed open with the system error number (the
        // text library shows a message box there).
        std::function<void(int error)> onOpenFailure;
    };

    SyncFile() = default;
    explicit SyncFile(Options options) : options_(std::move(options)) {}

    // LockSyncFile: opens sync.dat in the product folder if needed, takes the
    // lock on byte 0 (waiting in steps of one second while another process
    // holds it), reads the previous mode and writes the new one. Returns the
    // previous mode (0 when the file held fewer than four bytes), or -1 when
    // there is no product folder, sync.dat is missing (and not to be created)
    // or cannot be opened, or the lock fails for another reason than another
    // holder (a file opened by this call is then closed again).
    int32_t lock(const std::string& productFolder, LockMode mode);
    // UnlockSyncFile: releases the lock and closes the file, if open.
    void unlock();
    bool isOpen() const { return file_.has_value(); }

private:
    Options options_;
    std::optional<platform::File> file_;
};

// Takes the lock for a scope and releases it when the scope ends, also when
// an exception leaves it (a refresh holds it for its span, no longer).
class SyncLockGuard {
public:
    SyncLockGuard(SyncFile& file, const std::string& productFolder, LockMode mode)
        : file_(file), previous_(file.lock(productFolder, mode)) {}
    ~SyncLockGuard() { file_.unlock(); }
    SyncLockGuard(const SyncLockGuard&) = delete;
    SyncLockGuard& operator=(const SyncLockGuard&) = delete;
    // The previous mode, or -1 when the lock could not be taken.
    int32_t previousMode() const { return previous_; }

private:
    SyncFile& file_;
    int32_t previous_;
};

}  // namespace foundation
