// palm-desktop/palm_modules.h - the Palm Desktop's Conduit Manager and
// install aide as this system's stand-ins answer them: two shared libraries
// beside the hotsync program (libCondMgr.so, libInstaide.so) that work on the
// hotsync stand-in's users and notifier list in the hive
// (foundation/hotsync_users.h).
//
// Text results go into the caller's buffer with its size in bytes passed in
// *size; a text that does not fit (with its NUL) is not written, *size then
// holds the bytes needed and the call answers kPalmBufferTooSmall.
#pragma once

#include <stdint.h>

#include "brightfold.h"

#ifdef __cplusplus
extern "C" {
#endif

enum {
    kPalmOk = 0,
    kPalmNotFound = -1,        // no notifier, user or conduit of that index or name
    kPalmBufferTooSmall = -2,  // *size holds the bytes needed
    kPalmBadArgument = -3,     // a null pointer, a negative size
    kPalmFailed = -4           // the hive could not be written
};

// Conduit Manager.

// The notifier at index, as listed; kPalmNotFound past the last one.
int32_t WINAPI CmGetNotifierDll(int32_t index, char* name, int32_t* size);
// A name: replaces the notifier at index, or (index at or past the end)
// appends it; the caller checks for one listed already. No name (null or
// empty): removes the notifier at index; the later ones move up.
int32_t WINAPI CmSetNotifierDll(int32_t index, const char* name);
// The stand-in HotSync runs no conduits: kPalmNotFound for every name.
int32_t WINAPI CmRemoveConduitByName(const char* name);
// No conduit has a creator folder: kPalmNotFound.
int32_t WINAPI CmGetCreatorDirectory(const char* creator, char* folder, int32_t* size);
// The backup is built into the stand-in, not a conduit: kPalmNotFound.
int32_t WINAPI CmGetBackupConduit(char* name, int32_t* size);
// The creator IDs of the installed conduits: none, so an empty list (*size 0).
int32_t WINAPI CmGetCreatorIDList(char* list, int32_t* size);

// Install aide.

// The number of HotSync users (at most 32767).
int16_t WINAPI PltGetUserCount(void);
// The name of user index: its length (> 0), or a negative kPalm code.
int16_t WINAPI PltGetUser(uint32_t index, char* name, int16_t* size);
// The HotSync folder of the user of that name (compared with case): 0 or a
// negative kPalm code.
int32_t WINAPI PltGetUserDirectory(const char* user, char* folder, int32_t* size);
// The HotSync ID of the user of that name: 0, or kPalmNotFound (id untouched).
int32_t WINAPI PlmGetUserIDFromName(const char* user, uint32_t* id);

#ifdef __cplusplus
}
#endif
