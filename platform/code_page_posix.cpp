// Code page 932 to UTF-8 and back through iconv, whose CP932 table agrees
// with Windows on every code both map, and picks the code Windows picks for
// a character that several codes map to (U+2170 into FA 40, not EE EF).
#include "platform/code_page.h"

#include <iconv.h>
#include <pthread.h>

namespace {

// Each opened once; iconv keeps state in them, so one conversion at a time.
pthread_mutex_t converterLock = PTHREAD_MUTEX_INITIALIZER;
struct Converter {
    const char* to;
    const char* from;
    iconv_t handle;
    bool opened;
};
Converter toUtf8 = {"UTF-8", "CP932", reinterpret_cast<iconv_t>(-1), false};
Converter toCp932 = {"CP932", "UTF-8", reinterpret_cast<iconv_t>(-1), false};

// One character through `converter` into at most `room` bytes.
bool convertOne(Converter& converter, const char* from, size_t length, char* to, size_t room,
                size_t* toLength) {
    *toLength = 0;
    pthread_mutex_lock(&converterLock);
    if (!converter.opened) {
        converter.handle = iconv_open(converter.to, converter.from);
        converter.opened = true;
    }
    bool ok = converter.handle != reinterpret_cast<iconv_t>(-1);
    if (ok) {
        char* in = const_cast<char*>(from);
        size_t inLeft = length;
        char* out = to;
        size_t outLeft = room;
        ok = iconv(converter.handle, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
             inLeft == 0;
        // Back to the initial state, whatever happened.
        iconv(converter.handle, nullptr, nullptr, nullptr, nullptr);
        *toLength = ok ? room - outLeft : 0;
    }
    pthread_mutex_unlock(&converterLock);
    return ok;
}

} // namespace

bool platformCp932CharacterToUtf8(const char* bytes, size_t length, char* utf8,
                                  size_t* utf8Length) {
    return convertOne(toUtf8, bytes, length, utf8, 4, utf8Length);
}

bool platformUtf8CharacterToCp932(const char* utf8, size_t length, char* bytes,
                                  size_t* bytesLength) {
    return convertOne(toCp932, utf8, length, bytes, 2, bytesLength);
}
