// A batch of files converted on a second thread, so that the window goes on
// painting and answering while it runs. The files are converted in the
// given order, one at a time, by the same batch function the command line
// uses; the window hears of the end through WM_BATCH_DONE.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/status_text.h"

constexpr UINT WM_BATCH_DONE = WM_APP + 1;

// What the converting thread has done so far. It writes, and the window
// reads, under the batch's lock.
struct BatchProgress {
    int done;      // files finished
    int converted; // of which converted (an empty input among them)
    int current;   // index of the file being converted, -1 before the first
    bool stopAsked;
    bool finished;
    std::vector<SkippedFile> skipped; // read by the window only once finished
};

struct BatchRun {
    HWND window;
    bool running;
    HANDLE thread; // the converting thread, to be waited for; null when none
    SRWLOCK lock;  // guards progress; all zero is its unlocked state
    std::vector<std::wstring> paths;
    std::vector<const wchar_t*> arguments;
    BatchProgress progress;
};

// Starts converting `paths`. When no second thread can be had they are
// converted before this returns; WM_BATCH_DONE is posted either way.
void startBatch(BatchRun* run, HWND window, std::vector<std::wstring> paths);

// Asks the batch to stop once the file it is converting is done.
void askBatchToStop(BatchRun* run);

// A copy of the progress so far, without the skipped files.
BatchProgress progressOf(BatchRun* run);

// Waits for the converting thread to end; afterwards run->progress is the
// batch's whole account, run->running is false and the paths are gone.
void endBatch(BatchRun* run);
