// POSIX side of the platform seams (Linux, macOS).
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool platformDebugOutputAvailable() {
    return false;
}

bool platformDebugOutputListening() {
    return false;
}

void platformDebugOutput(const char*) {}

FILE* platformOpenFile(const char* path, const char* mode) {
    return std::fopen(path, mode);
}

bool platformRemoveFile(const char* path) {
    return std::remove(path) == 0;
}

void platformPathText(const char* path, char* text, size_t capacity) {
    if (capacity > 0) {
        std::snprintf(text, capacity, "%s", path);
    }
}

bool platformSameFile(const char* first, const char* second) {
    if (std::strcmp(first, second) == 0) {
        return true;
    }
    // Hard links, symbolic links, "./" prefixes and case-insensitive file
    // systems all give one file under two names.
    struct stat a;
    struct stat b;
    if (stat(first, &a) != 0 || stat(second, &b) != 0) {
        return false;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool platformSyncFile(FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

void platformStartWriteback(FILE* file) {
#ifdef __linux__
    // A pipe or a terminal refuses, which is as good as done.
    if (std::fflush(file) == 0) {
        (void)sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)file;
#endif
}

bool platformReplaceFile(const char* source, const char* target, bool) {
    return std::rename(source, target) == 0;
}

// Copies `text` into `out` when it fits with its terminator.
static bool copyPath(const char* text, char* out, size_t capacity) {
    if (std::strlen(text) >= capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::strcpy(out, text);
    return true;
}

bool platformResolveFile(const char* name, char* resolved, size_t capacity) {
    char final[PATH_MAX];
    if (realpath(name, final) != nullptr) {
        return copyPath(final, resolved, capacity);
    }
    if (errno != ENOENT) {
        return false;
    }
    // Nothing (or a link to nothing) of that name: it goes in its folder,
    // the root keeping its '/'.
    const char* slash = std::strrchr(name, '/');
    const char* leaf = slash != nullptr ? slash + 1 : name;
    char folder[PATH_MAX];
    if (slash == nullptr) {
        std::strcpy(folder, ".");
    } else {
        const size_t folderLength = slash == name ? 1 : static_cast<size_t>(slash - name);
        if (folderLength >= sizeof folder) {
            errno = ENAMETOOLONG;
            return false;
        }
        std::memcpy(folder, name, folderLength);
        folder[folderLength] = '\0';
    }
    if (realpath(folder, final) == nullptr) {
        return false;
    }
    const size_t folderLength = std::strlen(final);
    const bool root = folderLength == 1;
    if (folderLength + 1 + std::strlen(leaf) >= capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::snprintf(resolved, capacity, "%s%s%s", final, root ? "" : "/", leaf);
    return true;
}

bool platformFileExists(const char* path) {
    struct stat info;
    return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

bool platformProgramFolderFile(const char* name, char* path, size_t capacity) {
#ifdef __linux__
    char program[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        return false;
    }
    // A result that fills the buffer may have been cut short.
    if (static_cast<size_t>(length) >= sizeof program - 1) {
        errno = ENAMETOOLONG;
        return false;
    }
    program[length] = '\0';
    char* slash = std::strrchr(program, '/');
    if (slash == nullptr) {
        errno = ENOENT;
        return false;
    }
    slash[1] = '\0';
    if (std::strlen(program) + std::strlen(name) >= capacity) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::snprintf(path, capacity, "%s%s", program, name);
    return true;
#else
    // The command line looks for its settings in places of its own.
    (void)name;
    (void)path;
    (void)capacity;
    errno = ENOSYS;
    return false;
#endif
}

FILE* platformCreateNewFile(const char* path, const FileModel* model, bool* nameTaken) {
    *nameTaken = false;
    const bool copy = model != nullptr && model->exists;
    const mode_t mode = copy ? static_cast<mode_t>(model->mode & 07777) : 0666;
    // Made with the old file's mode, never wider, which the process's mask
    // may narrow; what differs from the old file is put right below.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        *nameTaken = errno == EEXIST;
        return nullptr;
    }
    if (copy) {
        // Only root may give a file away; anyone may keep the group. The
        // owner goes first, since changing it clears the set-id bits.
        struct stat made;
        const bool known = fstat(fd, &made) == 0;
        const bool owned = known && made.st_uid == model->owner && made.st_gid == model->group;
        if (!owned && fchown(fd, model->owner, model->group) != 0) {
            (void)!fchown(fd, static_cast<uid_t>(-1), model->group);
        }
        if (!owned || (made.st_mode & 07777) != mode) {
            (void)!fchmod(fd, mode);
        }
    }
    FILE* file = fdopen(fd, "wb");
    if (file == nullptr) {
        const int reason = errno;
        close(fd);
        std::remove(path);
        errno = reason;
    }
    return file;
}

int platformLastError() {
    return errno;
}

unsigned long platformProcessId() {
    return static_cast<unsigned long>(getpid());
}

WritePlace platformWritePlace(const char* path, FileModel* model) {
    struct stat info;
    if (model != nullptr) {
        model->exists = false;
    }
    if (stat(path, &info) != 0) {
        return PLACE_WRITABLE;
    }
    if (!S_ISREG(info.st_mode)) {
        return PLACE_NOT_A_FILE;
    }
    if (model != nullptr) {
        *model = FileModel{true, static_cast<uint32_t>(info.st_mode), info.st_uid, info.st_gid};
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        return PLACE_READ_ONLY;
    }
    // The owner's write bit answers for the owner; anyone else asks the
    // system, which knows the groups and access lists.
    const bool ownerMayWrite = info.st_uid == geteuid() && (info.st_mode & S_IWUSR) != 0;
    return ownerMayWrite || access(path, W_OK) == 0 ? PLACE_WRITABLE : PLACE_READ_ONLY;
}

bool platformResolveLink(const char* name, char* resolved, size_t capacity) {
    struct stat info;
    if (lstat(name, &info) == 0 ? S_ISLNK(info.st_mode) : errno != ENOENT) {
        return platformResolveFile(name, resolved, capacity);
    }
    return copyPath(name, resolved, capacity);
}

bool platformOrdinaryFileOrMissing(const char* path) {
    struct stat info;
    return stat(path, &info) != 0 || S_ISREG(info.st_mode);
}
