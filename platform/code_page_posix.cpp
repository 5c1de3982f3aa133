// Code page 932 to UTF-8 through iconv, whose CP932 table agrees with
// Windows on every code both map.
#include "platform/code_page.h"

#include <iconv.h>
#include <pthread.h>

namespace {

// Opened once; iconv keeps state in it, so one conversion at a time.
pthread_mutex_t converterLock = PTHREAD_MUTEX_INITIALIZER;
iconv_t converter = reinterpret_cast<iconv_t>(-1);
bool opened;

} // namespace

bool platformCp932CharacterToUtf8(const char* bytes, size_t length, char* utf8,
                                  size_t* utf8Length) {
    *utf8Length = 0;
    pthread_mutex_lock(&converterLock);
    if (!opened) {
        converter = iconv_open("UTF-8", "CP932");
        opened = true;
    }
    bool ok = converter != reinterpret_cast<iconv_t>(-1);
    if (ok) {
        char* in = const_cast<char*>(bytes);
        size_t inLeft = length;
        char* out = utf8;
        size_t outLeft = 4;
        ok = iconv(converter, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1) &&
             inLeft == 0;
        // Back to the initial state, whatever happened.
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        *utf8Length = ok ? 4 - outLeft : 0;
    }
    pthread_mutex_unlock(&converterLock);
    return ok;
}
