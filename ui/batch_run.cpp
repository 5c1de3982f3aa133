#include "ui/batch_run.h"

#include "core/file_batch.h"
#include "platform/platform.h"

// The listener's calls come on the converting thread.
static void fileStarting(void* context, int index, const PathChar*) {
    auto* run = static_cast<BatchRun*>(context);
    platformLock();
    run->progress.current = index;
    platformUnlock();
}

static void fileFinished(void* context, int, const PathChar* path, FileOutcome outcome) {
    auto* run = static_cast<BatchRun*>(context);
    platformLock();
    ++run->progress.done;
    if (outcomeIsFailure(outcome)) {
        run->progress.skipped.push_back(SkippedFile{fileNameOf(path), outcome});
    } else {
        ++run->progress.converted;
    }
    platformUnlock();
}

static bool batchStopping(void* context) {
    auto* run = static_cast<BatchRun*>(context);
    platformLock();
    const bool stop = run->progress.stopAsked;
    platformUnlock();
    return stop;
}

static void convertAll(void* context) {
    auto* run = static_cast<BatchRun*>(context);
    const BatchListener listener = {run, fileStarting, fileFinished, batchStopping};
    convertFiles(static_cast<int>(run->arguments.size()), run->arguments.data(), &listener);
    platformLock();
    run->progress.finished = true;
    platformUnlock();
    PostMessageW(run->window, WM_BATCH_DONE, 0, 0);
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
    run->threaded = platformStartThread(convertAll, run);
    if (!run->threaded) {
        // The window waits, as it did before it had a second thread; the
        // files are converted all the same.
        convertAll(run);
    }
}

void askBatchToStop(BatchRun* run) {
    platformLock();
    run->progress.stopAsked = true;
    platformUnlock();
}

BatchProgress progressOf(BatchRun* run) {
    platformLock();
    BatchProgress copy{run->progress.done,      run->progress.converted, run->progress.current,
                       run->progress.stopAsked, run->progress.finished,  {}};
    platformUnlock();
    return copy;
}

bool batchFinished(BatchRun* run) {
    return progressOf(run).finished;
}

void endBatch(BatchRun* run) {
    if (!run->running) {
        return;
    }
    if (run->threaded) {
        platformJoinThread();
    }
    run->threaded = false;
    run->running = false;
    // The account keeps the skipped files' names; the paths can go.
    run->arguments.clear();
    run->paths.clear();
}
