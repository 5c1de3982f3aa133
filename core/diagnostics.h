// Two diagnostic channels. `trace` prints only in development builds
// (TINTMARK_TRACE); `debugOut` goes to the platform's debugger-output channel.
#pragma once

#if defined(__GNUC__)
#define TINTMARK_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define TINTMARK_PRINTF(a, b)
#endif

#ifdef TINTMARK_TRACE
void trace(const char* format, ...) TINTMARK_PRINTF(1, 2);
#else
inline void trace(const char*, ...) {}
#endif

constexpr int DEBUG_OUT_BUFFER = 256;

// Formats one line into a 256-byte buffer (longer text is cut) and hands it to
// the current listener. Does no formatting work when nobody listens.
void debugOut(const char* format, ...) TINTMARK_PRINTF(1, 2);

using DebugListener = void (*)(const char* text);

// Replaces the listener; nullptr silences debugOut. The default listener is
// the platform's debugger-output call where there is one (Windows), else none.
void setDebugListener(DebugListener listener);
DebugListener defaultDebugListener();

// Looks again whether anyone reads the platform's debugger output. Sending a
// line there costs far more than converting it, so nothing is formatted or
// sent while nobody reads. Called at the start of every conversion.
void watchDebugListeners();

// True when a debugOut line would reach somebody.
bool debugOutActive();
