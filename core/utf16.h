// UTF-16 texts are converted in their UTF-8 form: decoded on the way in,
// encoded back on the way out, in the byte order they came in. The UTF-8
// form is widened by one rule (see core/characters): a lone surrogate takes
// the three bytes ED A0-BF 80-BF its code point would, so that it passes
// through the conversion as one character and comes back as it was.
//
// Cost: a few operations a unit; four units of ASCII (eight bytes of UTF-8
// going out) at a time.
#pragma once

#include <cstddef>

// Decodes the units of `raw` (`length` bytes) into `out` (capacity bytes), a
// whole character at a time, for as long as both allow. A high surrogate
// last in `raw` waits for the unit after it, unless `final`, when it is a
// lone one; an odd byte at the end is never taken. *taken gets the bytes of
// `raw` decoded; returns the bytes written.
size_t decodeUtf16(const unsigned char* raw, size_t length, bool bigEndian, bool final,
                   unsigned char* out, size_t capacity, size_t* taken);

// Encodes `length` bytes of widened UTF-8 into UTF-16 units at `out`
// (capacity bytes, at least 4), a whole character at a time, for as long as
// both allow. A byte that begins no character, a sequence cut by the end of
// `text` among them, becomes U+FFFD. *taken gets the bytes of `text`
// encoded; returns the bytes written.
size_t encodeUtf16(const unsigned char* text, size_t length, bool bigEndian, unsigned char* out,
                   size_t capacity, size_t* taken);

// Where `length` bytes of widened UTF-8 end with whole characters: the
// start of a last sequence that the bytes after it would complete, else
// `length`.
size_t wholeUtf8Length(const unsigned char* text, size_t length);
