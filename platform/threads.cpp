// The second thread and the lock the two take turns by, over POSIX threads:
// the system's own natively, and on Windows the toolchain's (winpthreads,
// linked into the program), so that both platforms share one seam.
#include "platform/platform.h"

#include <pthread.h>

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
