// The few operating-system services the portable code needs, one seam each.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/path_text.h"

// The debugger-output channel: whether the platform has one, whether anyone
// (a debugger or a debug-output viewer) is reading it now, and one line to it.
bool platformDebugOutputAvailable();
bool platformDebugOutputListening();
void platformDebugOutput(const char* text);

// Opens a file as fopen does, with a mode of "rb", "wb" and the like.
FILE* platformOpenFile(const PathChar* path, const char* mode);

// Deletes a file; false when it cannot.
bool platformRemoveFile(const PathChar* path);

// The path as bytes for diagnostics: code page 932 on Windows, with '?' for
// what that code page cannot hold; never used to reach a file.
void platformPathText(const PathChar* path, char* text, size_t capacity);

// True when both paths name the same existing file, or when the names are
// equal as this platform compares file names.
bool platformSameFile(const PathChar* first, const PathChar* second);

// Forces a written stream's data to the disk.
bool platformSyncFile(FILE* file);

// Asks the system to begin writing what has been written to `file` so far
// to the disk, without waiting for it; nothing where it cannot, or need not.
void platformStartWriteback(FILE* file);

// Replaces `target` with `source` in one step. An existing target keeps
// what the system holds about it besides its bytes (on Windows its
// attributes and security descriptor); `target` must be a full path that
// names the file itself, not a link to it. With forceToDisk, a move that
// the system can force to the disk before it returns is so forced.
bool platformReplaceFile(const PathChar* source, const PathChar* target, bool forceToDisk);

// The full path at which the file `name` (a bare name in the current
// folder, or a path) is written without breaking a link: for an existing
// file reached through symbolic links, the final file's path; for a name
// that does not exist yet (or a link to nothing), the final path of its
// folder (the current one for a bare name) joined with its last component.
// False, with the reason in platformLastError, when it cannot be found or
// does not fit in `capacity` units with its terminator.
bool platformResolveFile(const PathChar* name, PathChar* resolved, size_t capacity);

// True when something that is not a folder has this name: a file, a link
// to one, a pipe or a device.
bool platformFileExists(const PathChar* path);

// The full path of `name` in the folder of the running program's own file,
// in a form that opens whatever its length. False, with the reason in
// platformLastError, when that folder cannot be found or the path does not
// fit in `capacity` units with its terminator.
bool platformProgramFolderFile(const PathChar* name, PathChar* path, size_t capacity);

// What a file that is about to be replaced holds besides its bytes, for the
// new file to start with: natively its mode, owner and group; on Windows its
// attributes (in `mode`). `exists` is false when no ordinary file held the
// name.
struct FileModel {
    bool exists;
    uint32_t mode;
    uint32_t owner;
    uint32_t group;
};

// Creates `path` as a new file and opens it for writing in binary, never
// opening anything that exists already: then `nameTaken` is set and null is
// returned. When `model` holds an existing file's, the new one starts with
// its permissions (its mode and, where allowed, its owner) natively, and
// with its hidden, system and archive attributes on Windows.
FILE* platformCreateNewFile(const PathChar* path, const FileModel* model, bool* nameTaken);

// The reason the latest failing system call of this thread gave: errno
// natively, GetLastError on Windows.
int platformLastError();

// This process's id, for names no other running process picks.
unsigned long platformProcessId();

// What holds the name a file is about to be written to.
enum WritePlace {
    PLACE_WRITABLE,   // nothing, or an ordinary file this user may write
    PLACE_READ_ONLY,  // an ordinary file marked read-only (no write permission
                      // bits) or that this user may not write, which a save
                      // respects even where the user could override the mark
    PLACE_NOT_A_FILE, // a folder, a pipe or a device
};
// Says what holds `path`, with one look at it; `model` (may be null) gets
// what platformCreateNewFile needs to start a file that replaces it.
WritePlace platformWritePlace(const PathChar* path, FileModel* model);

// The path at which `name` is replaced without breaking a link: where the
// platform's replace needs a full path (Windows) always platformResolveFile's;
// natively `name` itself, unless it is a symbolic link, whose final file's
// path it then is. Natively one look at the name in the common case.
bool platformResolveLink(const PathChar* name, PathChar* resolved, size_t capacity);

// False for what exists but is not an ordinary file (a directory, a pipe, a
// device): opening a pipe for reading would wait for a writer forever.
bool platformOrdinaryFileOrMissing(const PathChar* path);

// A second thread for work that runs beside the caller's, one at a time:
// starts task(argument) on it, or returns false when it cannot.
bool platformStartThread(void (*task)(void*), void* argument);
// Waits for the task started last to end.
void platformJoinThread();

// One lock, with one condition, for the caller and that thread to take
// turns by: platformWait releases the lock while it waits, and may return
// without a wake-up, so callers wait in a loop on their own condition.
void platformLock();
void platformUnlock();
void platformWait();
void platformWakeAll();
