// POSIX side of the platform seams (Linux, macOS).
#include "platform/platform.h"

#include <cstdio>
#include <cstring>
#include <pthread.h>
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

bool platformReplaceFile(const char* source, const char* target) {
    return std::rename(source, target) == 0;
}

bool platformFileReadOnly(const char* path) {
    struct stat info;
    if (stat(path, &info) != 0) {
        return false;
    }
    return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || access(path, W_OK) != 0;
}

bool platformOrdinaryFileOrMissing(const char* path) {
    struct stat info;
    return stat(path, &info) != 0 || S_ISREG(info.st_mode);
}

static pthread_t thread;
static void (*threadTask)(void*);
static void* threadArgument;

static void* runThreadTask(void*) {
    threadTask(threadArgument);
    return nullptr;
}

bool platformStartThread(void (*task)(void*), void* argument) {
    threadTask = task;
    threadArgument = argument;
    return pthread_create(&thread, nullptr, runThreadTask, nullptr) == 0;
}

void platformJoinThread() {
    pthread_join(thread, nullptr);
}

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static pthread_cond_t condition = PTHREAD_COND_INITIALIZER;

void platformLock() {
    pthread_mutex_lock(&lock);
}

void platformUnlock() {
    pthread_mutex_unlock(&lock);
}

void platformWait() {
    pthread_cond_wait(&condition, &lock);
}

void platformWakeAll() {
    pthread_cond_broadcast(&condition);
}
