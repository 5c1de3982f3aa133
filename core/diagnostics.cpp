#include "core/diagnostics.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

#ifdef TINTMARK_TRACE
void trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}
#endif

static void platformListener(const char* text) {
    platformDebugOutput(text);
}

DebugListener defaultDebugListener() {
    return platformDebugOutputAvailable() ? platformListener : nullptr;
}

static DebugListener debugListener = defaultDebugListener();
static bool platformListening = false;

void setDebugListener(DebugListener listener) {
    debugListener = listener;
}

void watchDebugListeners() {
    platformListening = platformDebugOutputListening();
}

bool debugOutActive() {
    return debugListener != nullptr && (debugListener != platformListener || platformListening);
}

void debugOut(const char* format, ...) {
    if (!debugOutActive()) {
        return;
    }
    // vsnprintf cuts what does not fit and always terminates the buffer.
    char buffer[DEBUG_OUT_BUFFER];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    debugListener(buffer);
}
