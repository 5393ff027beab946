// platform/faults.h - one seam through which tests make OS calls fail.
//
// Each platform call checks, before doing its work, whether a fault is armed
// for its operation; an armed fault makes the call fail with the given system
// error number as if the OS had refused it. Faults can also be armed for a
// whole process through BRIGHTFOLD_FAULTS="op:errno[:skip[:times]],..." (read once),
// so that tests can make a library loaded into a child process fail.
#pragma once

namespace platform::faults {

enum class Op {
    Open,      // File::open
    Read,      // File::read, readWholeFile
    Write,     // File::write, writeFileAtomically (also: a disk that is full)
    Rename,    // renameFile and the rename step of atomic writes
    Copy,      // copyFile
    Delete,    // deleteFile, removeDirectory
    Lock,      // File::lockRange: EAGAIN / EACCES as if another process held the range, others as a failure
    ListDir,   // listDirectory
    Registry,  // every registry call (as if the hive could not be written)
    Count
};

// Arms a fault: after `skip` successful calls of the operation, every further
// call fails with `error` until `times` failures have happened (-1: forever).
void arm(Op op, int error, int skip = 0, int times = -1);
void disarm(Op op);
void disarmAll();
// Used by the platform implementation: true (and errno set) when the call
// is to fail.
bool shouldFail(Op op);

}  // namespace platform::faults
