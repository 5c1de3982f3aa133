// tintmark_hostile: tables and texts chosen to make keyword matching slow,
// for checking that the converter's time stays linear in the text whatever
// the table. Every entry is plain (no tags), so the output is as large as
// the input and the time measured is the matching's.
//
//   tintmark_hostile SHAPE SIZE TEXT TABLE
//
// Shapes:
//   last-byte      512 keywords of 511 bytes differing only in the last,
//                  against lines of the byte the others repeat
//   first-byte     512 keywords of 511 bytes differing only in the first,
//                  against lines of the byte the others repeat
//   random-long    512 keywords of 511 random bytes (the most states), against
//                  their bytes
//   near-miss      one keyword of 510 'a' and a 'b', against lines of 'a'
//   long-first     the same keyword before the keyword "a": every byte a hit,
//                  each decided only 511 bytes later
//   crowded        512 keywords sharing their first three bytes (one filter
//                  bucket), against text of those bytes
//   japanese-run   512 keywords of one Japanese character repeated and a
//                  different last one, against lines of that character
//   eight-a-list   64 families of 8 keywords of 16 bytes sharing 15, against
//                  the shared stretches
//   every-byte     a keyword for every byte and many pairs: every byte a hit
//   lone-leads     the keywords 0x81 and 0x81 0x81 against lines of 2047
//                  bytes of 0x81: every byte looked at as a lone lead byte
//   second-bytes   every trail byte as a keyword, and pairs of a trail and a
//                  lead byte, against Japanese text: a keyword at every
//                  byte, every other one inside a character
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "splitmix.h"

namespace {

// Bytes a keyword or text may hold anywhere: not zero, CR, LF or 0x1A.
bool plainByte(unsigned b) {
    return b != 0 && b != '\r' && b != '\n' && b != 0x1A;
}

// The n-th plain byte other than `except`, cycling.
char nthByte(unsigned n, char except) {
    for (unsigned b = 1;; b = b % 255 + 1) {
        if (plainByte(b) && static_cast<char>(b) != except && n-- == 0) {
            return static_cast<char>(b);
        }
    }
}

// Lines of `unit` repeated, each about lineLength bytes, up to size bytes.
std::string repeatedLines(const std::string& unit, size_t lineLength, size_t size) {
    std::string text;
    while (text.size() < size) {
        std::string line;
        while (line.size() + unit.size() <= lineLength) {
            line += unit;
        }
        text += line + "\r\n";
    }
    text.resize(size);
    return text;
}

bool shape(const std::string& name, size_t size, std::vector<std::string>& table,
           std::string& text) {
    Random random{42};
    const std::string run(510, 'a');
    if (name == "last-byte") {
        for (unsigned i = 0; i < 512; ++i) {
            table.push_back(run + nthByte(i % 200, 'a'));
        }
        text = repeatedLines("a", 4000, size);
    } else if (name == "first-byte") {
        for (unsigned i = 0; i < 512; ++i) {
            table.push_back(nthByte(i % 250, 'a') + run);
        }
        text = repeatedLines("a", 4000, size);
    } else if (name == "random-long") {
        for (unsigned i = 0; i < 512; ++i) {
            std::string keyword;
            for (int k = 0; k < 511; ++k) {
                keyword += nthByte(random.below(250), 0);
            }
            table.push_back(keyword);
        }
        for (size_t i = 0; i < size; ++i) {
            text += i % 1000 == 999 ? '\n' : table[i / 1000 % 512][random.below(511)];
        }
    } else if (name == "near-miss") {
        table.push_back(run + 'b');
        text = repeatedLines("a", 4000, size);
    } else if (name == "long-first") {
        table.push_back(run + 'b');
        table.push_back("a");
        text = repeatedLines("a", 4000, size);
    } else if (name == "crowded") {
        for (unsigned i = 0; i < 512; ++i) {
            std::string keyword = "aaa";
            for (int k = 0; k < 13; ++k) {
                keyword += random.below(8) == 0 ? 'b' : 'a';
            }
            table.push_back(keyword);
        }
        std::string unit;
        for (int k = 0; k < 4000; ++k) {
            unit += random.below(8) == 0 ? 'b' : 'a';
        }
        text = repeatedLines(unit, 4000, size);
    } else if (name == "japanese-run") {
        std::string stem;
        for (int k = 0; k < 254; ++k) {
            stem += "\x88\x9F"; // 亜
        }
        for (unsigned i = 0; i < 512; ++i) {
            table.push_back(stem + static_cast<char>(0x88 + i / 64) +
                            static_cast<char>(0x40 + i % 64));
        }
        text = repeatedLines("\x88\x9F", 4000, size);
    } else if (name == "eight-a-list") {
        std::string unit;
        for (unsigned f = 0; f < 64; ++f) {
            std::string stem;
            for (int k = 0; k < 15; ++k) {
                stem += static_cast<char>('a' + (f * 7 + static_cast<unsigned>(k) * (f + 1)) % 26);
            }
            for (unsigned m = 0; m < 8; ++m) {
                table.push_back(stem + static_cast<char>('A' + m));
            }
            unit += stem + 'z';
        }
        text = repeatedLines(unit, 1000, size);
    } else if (name == "every-byte") {
        for (unsigned b = 1; b < 256; ++b) {
            if (plainByte(b)) {
                table.push_back(std::string(1, static_cast<char>(b)));
            }
        }
        for (unsigned i = 0; table.size() < 512; ++i) {
            table.insert(table.begin(), std::string{nthByte(i, 0), nthByte(i * 7, 0)});
        }
        for (size_t i = 0; i < size; ++i) {
            text += i % 100 == 99 ? '\n' : nthByte(random.below(200), 0);
        }
    } else if (name == "lone-leads") {
        table.push_back("\x81");
        table.push_back("\x81\x81");
        text = repeatedLines("\x81", 2047, size);
    } else if (name == "second-bytes") {
        std::vector<char> trails;
        for (unsigned b = 0x40; b <= 0xFC; ++b) {
            if (b != 0x7F) {
                trails.push_back(static_cast<char>(b));
                table.push_back(std::string(1, static_cast<char>(b)));
            }
        }
        for (unsigned i = 0; table.size() < 512; ++i) {
            table.push_back(std::string{trails[i % trails.size()],
                                        static_cast<char>(0x88 + i / trails.size() % 24)});
        }
        // Kanji: lead bytes 0x88-0x9F, any trail byte.
        for (size_t i = 0; i < size; i += 2) {
            if (i % 160 == 158) {
                text += "\r\n";
            } else {
                text += static_cast<char>(0x88 + random.below(24));
                text += trails[random.below(trails.size())];
            }
        }
        text.resize(size);
    } else {
        return false;
    }
    return true;
}

bool writeFile(const char* path, const std::string& bytes) {
    FILE* file = std::fopen(path, "wb");
    bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr) {
        ok = std::fclose(file) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "tintmark_hostile: %s: cannot write\n", path);
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    char* end = nullptr;
    const unsigned long long size = argc == 5 ? std::strtoull(argv[2], &end, 10) : 0;
    std::vector<std::string> table;
    std::string text;
    if (argc != 5 || *end != '\0' || size == 0 || !shape(argv[1], size, table, text)) {
        std::fprintf(
            stderr,
            "usage: tintmark_hostile SHAPE SIZE TEXT TABLE\n"
            "  SHAPE: last-byte first-byte random-long near-miss long-first crowded japanese-run "
            "eight-a-list every-byte lone-leads second-bytes; SIZE in bytes\n");
        return 2;
    }
    // Settings file: no <BR>; each entry plain: no colour, size 0, no style.
    std::string settings = "[TntMark set file]\r\n0\r\n";
    for (const std::string& keyword : table) {
        settings += keyword + "\r\n\x96\xB3\x95\xCF\x8A\xB7\r\n0\r\n0\r\n";
    }
    settings += "[TntMark set file end]\r\n";
    return writeFile(argv[3], text) && writeFile(argv[4], settings) ? 0 : 1;
}
