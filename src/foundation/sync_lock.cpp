#include "foundation/sync_lock.h"

#include "foundation/byteorder.h"
#include "platform/system.h"

namespace foundation {

int32_t SyncFile::lock(const std::string& productFolder, LockMode mode) {
    const bool opened = !file_;
    if (opened) {
        if (productFolder.empty()) return -1;
        std::string path = platform::joinPath(productFolder, kSyncFileName);
        if (!options_.createWhenMissing && !platform::fileExists(path)) return -1;
        auto openMode = options_.createWhenMissing ? platform::File::Mode::ReadWriteCreate
                                                   : platform::File::Mode::ReadWrite;
        for (int attempt = 0; attempt < kSyncOpenAttempts && !file_; ++attempt) {
            int error = 0;
            file_ = platform::File::open(path, openMode, &error);
            if (file_) break;
            if (options_.onOpenFailure) options_.onOpenFailure(error);
            if (attempt + 1 < kSyncOpenAttempts) platform::sleepMilliseconds(kSyncOpenRetryMs);
        }
        if (!file_) return -1;
    }
    // Waiting helps only while another process holds the byte; any other
    // failure would repeat for ever (and hang the caller without a word).
    for (;;) {
        platform::File::LockResult result = file_->lockRange(0, 1);
        if (result == platform::File::LockResult::Taken) break;
        if (result == platform::File::LockResult::Failed) {
            if (opened) file_.reset();
            return -1;
        }
        platform::sleepMilliseconds(kSyncLockRetryMs);
    }

    uint8_t previous[4] = {};
    int32_t previousMode = 0;
    if (file_->seek(0)) {
        size_t have = 0;
        while (have < 4) {
            long long got = file_->read(previous + have, 4 - have);
            if (got <= 0) break;
            have += size_t(got);
        }
        if (have == 4) previousMode = int32_t(loadLE32(previous));
    }
    uint8_t next[4];
    storeLE32(next, uint32_t(mode));
    if (file_->seek(0)) file_->write(next, 4);
    return previousMode;
}

void SyncFile::unlock() {
    if (!file_) return;
    file_->unlockRange(0, 1);
    file_.reset();
}

}  // namespace foundation
