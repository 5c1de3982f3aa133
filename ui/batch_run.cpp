// The batch thread and its lock are Windows' own, not the platform seam's
// (platform/threads.cpp): the converter starts that seam's one second thread
// and takes its one lock for every large file, here inside the batch thread,
// so sharing them would have the window join the converter's thread instead
// of its own and wait on the converter's lock.
#include "ui/batch_run.h"

#include <process.h>

#include "core/file_batch.h"

namespace {

struct Locked {
    explicit Locked(BatchRun* batch) : run(batch) {
        AcquireSRWLockExclusive(&run->lock);
    }
    ~Locked() {
        ReleaseSRWLockExclusive(&run->lock);
    }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
    BatchRun* run;
};

} // namespace

// The listener's calls come on the converting thread.
static void fileStarting(void* context, int index, const PathChar*) {
    auto* run = static_cast<BatchRun*>(context);
    const Locked locked(run);
    run->progress.current = index;
}

static void fileFinished(void* context, int, const PathChar* path, FileOutcome outcome) {
    auto* run = static_cast<BatchRun*>(context);
    const Locked locked(run);
    ++run->progress.done;
    if (outcomeIsFailure(outcome)) {
        run->progress.skipped.push_back(SkippedFile{fileNameOf(path), outcome});
    } else {
        ++run->progress.converted;
    }
}

static bool batchStopping(void* context) {
    auto* run = static_cast<BatchRun*>(context);
    const Locked locked(run);
    return run->progress.stopAsked;
}

static void convertAll(void* context) {
    auto* run = static_cast<BatchRun*>(context);
    const BatchListener listener = {run, fileStarting, fileFinished, batchStopping};
    convertFiles(static_cast<int>(run->arguments.size()), run->arguments.data(), &listener);
    {
        const Locked locked(run);
        run->progress.finished = true;
    }
    PostMessageW(run->window, WM_BATCH_DONE, 0, 0);
}

static unsigned __stdcall batchThread(void* context) {
    convertAll(context);
    return 0;
}

void startBatch(BatchRun* run, HWND window, std::vector<std::wstring> paths) {
    run->window = window;
    run->running = true;
    run->paths = std::move(paths);
    run->arguments.clear();
    for (const std::wstring& path : run->paths) {
        run->arguments.push_back(path.c_str());
    }
    run->progress = BatchProgress{0, 0, -1, false, false, {}};
    // _beginthreadex, not CreateThread: the thread uses the C runtime's files.
    run->thread =
        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, batchThread, run, 0, nullptr));
    if (run->thread == nullptr) {
        // The window waits, as it did before it had a second thread; the
        // files are converted all the same.
        convertAll(run);
    }
}

void askBatchToStop(BatchRun* run) {
    const Locked locked(run);
    run->progress.stopAsked = true;
}

BatchProgress progressOf(BatchRun* run) {
    const Locked locked(run);
    return BatchProgress{run->progress.done,      run->progress.converted, run->progress.current,
                         run->progress.stopAsked, run->progress.finished,  {}};
}

void endBatch(BatchRun* run) {
    if (!run->running) {
        return;
    }
    if (run->thread != nullptr) {
        WaitForSingleObject(run->thread, INFINITE);
        CloseHandle(run->thread);
        run->thread = nullptr;
    }
    run->running = false;
    // The account keeps the skipped files' names; the paths can go.
    run->arguments.clear();
    run->paths.clear();
}
