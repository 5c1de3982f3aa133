// tintmark_corpus: writes a seeded benchmark text and matching settings
// files. The text is CR LF lines of 20 to 200 bytes mixing English words and
// code page 932 Japanese, with keywords of the tables a few times per line;
// the keywords come in families that share prefixes (東/東京/東京都,
// error/errors/errno), so the converter meets the cases that decide which
// entry wins at a position.
//
//   tintmark_corpus [--japanese] [--seed N] [--size SIZE] [--text FILE]
//                   [--table COUNT FILE]...
//
// --japanese makes Japanese keywords and text dominate: nearly every token
// is Japanese, with lead bytes 0x82 (hiragana), 0x83 (katakana) and
// 0x88-0x9F (kanji) only, so that a filter on pairs of bytes meets the same
// few first bytes everywhere; the tables hold Japanese keywords only.
//
// SIZE is bytes, or a number with K, M or G (binary units). A table of COUNT
// entries (at most 512) holds the COUNT most frequent keywords of the text,
// in a shuffled order, so a smaller table is a subset of a larger one. The
// same seed gives the same bytes on every platform.
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "splitmix.h"

namespace {

constexpr int MAX_ENTRIES = 512;
constexpr int CORE_ENTRIES = 50;
constexpr int MIN_LINE = 20; // bytes, CR LF included
constexpr int MAX_LINE = 200;

// Set by --japanese.
bool japaneseOnly = false;

// Share of text tokens that are keywords: about three per line.
constexpr unsigned KEYWORD_PERCENT = 17;

// Families a user would plausibly keep, most common first: the first 50
// entries form the small table.
const char* const CORE_KEYWORDS[CORE_ENTRIES] = {
    "error",
    "errors",
    "errno",
    "err",
    "warn",
    "warning",
    "WARNING",
    "file",
    "filename",
    "files",
    "key",
    "keyword",
    "keywords",
    "line",
    "lines",
    "linebreak",
    "time",
    "timeout",
    "timestamp",
    "http",
    "https",
    "html",
    "HTML",
    "TODO",
    "FIXME",
    "\x93\x8c",                                         // 東
    "\x93\x8c\x8b\x9e",                                 // 東京
    "\x93\x8c\x8b\x9e\x93\x73",                         // 東京都
    "\x93\x8c\x8b\x9e\x83\x5e\x83\x8f\x81\x5b",         // 東京タワー
    "\x93\x8c\x8b\x9e\x89\x77",                         // 東京駅
    "\x93\xfa\x96\x7b",                                 // 日本
    "\x93\xfa\x96\x7b\x8c\xea",                         // 日本語
    "\x93\xfa\x96\x7b\x90\x6c",                         // 日本人
    "\x95\xb6\x8e\x9a",                                 // 文字
    "\x95\xb6\x8e\x9a\x97\xf1",                         // 文字列
    "\x95\xb6\x8e\x9a\x89\xbb\x82\xaf",                 // 文字化け
    "\x90\xdd\x92\xe8",                                 // 設定
    "\x90\xdd\x92\xe8\x83\x74\x83\x40\x83\x43\x83\x8b", // 設定ファイル
    "\x83\x74\x83\x40\x83\x43\x83\x8b",                 // ファイル
    "\x83\x74\x83\x40\x83\x43\x83\x8b\x96\xbc",         // ファイル名
    "\x83\x66\x81\x5b\x83\x5e",                         // データ
    "\x83\x66\x81\x5b\x83\x5e\x83\x78\x81\x5b\x83\x58", // データベース
    "\x83\x47\x83\x89\x81\x5b",                         // エラー
    "\x83\x47\x83\x89\x81\x5b\x83\x52\x81\x5b\x83\x68", // エラーコード
    "\x8e\x52\x93\x63\x82\xb3\x82\xf1",                 // 山田さん
    "\x93\x63\x92\x86",                                 // 田中
    "\x8f\x64\x97\x76",                                 // 重要
    "\x92\x8d\x88\xd3",                                 // 注意
    "TintMark\x90\xdd\x92\xe8",                         // TintMark設定
    "HTML\x8f\x6f\x97\xcd",                             // HTML出力
};

// Less common relatives of the core families and a few more; generated
// families fill the rest of the 512.
const char* const MORE_KEYWORDS[] = {
    "ERROR",
    "read",
    "reader",
    "readline",
    "write",
    "writer",
    "written",
    "font",
    "fonts",
    "color",
    "colour",
    "colors",
    "table",
    "tables",
    "test",
    "tests",
    "testing",
    "data",
    "database",
    "dataset",
    "user",
    "users",
    "username",
    "open",
    "opened",
    "OpenFile",
    "save",
    "saved",
    "\x91\xe5\x8d\xe3",                         // 大阪
    "\x91\xe5\x8d\xe3\x95\x7b",                 // 大阪府
    "\x91\xe5\x8d\xe3\x8f\xe9",                 // 大阪城
    "\x93\xfa\x96\x7b\x8b\xb4",                 // 日本橋
    "\x95\xcf\x8a\xb7",                         // 変換
    "\x95\xcf\x8a\xb7\x95\x5c",                 // 変換表
    "\x96\xb3\x95\xcf\x8a\xb7",                 // 無変換
    "\x83\x65\x83\x58\x83\x67",                 // テスト
    "\x83\x65\x83\x58\x83\x67\x8c\x8b\x89\xca", // テスト結果
    "\x89\xef\x8b\x63",                         // 会議
    "\x89\xef\x8b\x63\x8e\xba",                 // 会議室
    "\x8e\x52\x93\x63",                         // 山田
    "\x93\x63\x92\x86\x82\xb3\x82\xf1",         // 田中さん
    "\x8a\x94\x8e\xae\x89\xef\x8e\xd0",         // 株式会社
    "\x92\xf7\x90\xd8",                         // 締切
    "\x95\x5c\x8e\xa6",                         // 表示
    "\x95\x5c\x8e\xa6\x8c\x60\x8e\xae",         // 表示形式
    "CSV\x83\x74\x83\x40\x83\x43\x83\x8b",      // CSVファイル
};

const char* const WORDS[] = {
    "the",     "of",        "and",     "to",       "in",     "is",      "that",    "for",
    "it",      "with",      "as",      "on",       "be",     "at",      "by",      "this",
    "from",    "or",        "an",      "not",      "are",    "was",     "we",      "can",
    "all",     "will",      "one",     "there",    "their",  "which",   "when",    "new",
    "more",    "some",      "out",     "then",     "these",  "each",    "would",   "other",
    "about",   "into",      "only",    "after",    "before", "first",   "last",    "value",
    "number",  "string",    "buffer",  "output",   "input",  "result",  "return",  "call",
    "server",  "client",    "request", "response", "report", "meeting", "project", "release",
    "version", "build",     "update",  "change",   "fixed",  "check",   "profile", "online",
    "offline", "sometimes", "runtime", "keyboard", "monkey", "terror",  "mistake", "handle",
    "Tokyo",   "Osaka",     "page",    "section",  "note",   "see",     "also",    "below",
};

// Common hiragana runs: particles and endings between kanji.
const char* const HIRAGANA_RUNS[] = {
    "\x82\xcc",                         // の
    "\x82\xc9",                         // に
    "\x82\xcd",                         // は
    "\x82\xf0",                         // を
    "\x82\xaa",                         // が
    "\x82\xc5",                         // で
    "\x82\xc6",                         // と
    "\x82\xc5\x82\xb7",                 // です
    "\x82\xdc\x82\xb7",                 // ます
    "\x82\xb5\x82\xdc\x82\xb5\x82\xbd", // しました
    "\x82\xb3\x82\xf1",                 // さん
    "\x82\xb1\x82\xc6",                 // こと
};

const char* const PUNCTUATION[] = {
    "\x81\x41", // 、
    "\x81\x42", // 。
    "\x81\x45", // ・
    "\x81\x46", // ：
    "\x81\x75", // 「
    "\x81\x76", // 」
    "\x81\x69", // （
    "\x81\x6a", // ）
    "\x81\x40", // ideographic space
    "\x81\x49", // ！
    "\x81\x48", // ？
};

const char NO_COLOUR[] = "\x96\xb3\x95\xcf\x8a\xb7"; // 無変換

template <typename T, size_t N> constexpr unsigned countOf(const T (&)[N]) {
    return static_cast<unsigned>(N);
}

void appendHiragana(std::string& out, Random& random) {
    out += '\x82';
    out += static_cast<char>(random.between(0x9F, 0xF1));
}

void appendKatakana(std::string& out, Random& random) {
    int trail = random.between(0x40, 0x95);
    out += '\x83';
    out += static_cast<char>(trail >= 0x7F ? trail + 1 : trail); // 0x7F is no trail byte
}

// A JIS level 1 or 2 kanji: lead 0x88-0x9F or 0xE0-0xEA, trail 0x40-0xFC
// without 0x7F, avoiding the unassigned cells around level 1's end.
void appendKanji(std::string& out, Random& random) {
    int lead = random.between(0x88, japaneseOnly ? 0x9F : 0x9F + (0xEA - 0xE0 + 1));
    if (lead > 0x9F) {
        lead += 0xE0 - 0xA0;
    }
    int trail;
    for (;;) {
        trail = random.between(0x40, 0xFC);
        if (trail == 0x7F || (lead == 0x88 && trail < 0x9F) || (lead == 0xEA && trail > 0xA4) ||
            (lead == 0x98 && trail > 0x72 && trail < 0x9F)) {
            continue;
        }
        break;
    }
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
}

std::vector<std::string> makeKeywords(Random& random) {
    std::vector<std::string> keywords(CORE_KEYWORDS, CORE_KEYWORDS + CORE_ENTRIES);
    keywords.insert(keywords.end(), MORE_KEYWORDS, MORE_KEYWORDS + countOf(MORE_KEYWORDS));
    if (japaneseOnly) {
        // Only the keywords that open with a Japanese character.
        std::vector<std::string> kept;
        for (const std::string& keyword : keywords) {
            if (static_cast<unsigned char>(keyword[0]) >= 0x80) {
                kept.push_back(keyword);
            }
        }
        keywords = kept;
    }
    std::set<std::string> seen(keywords.begin(), keywords.end());
    auto add = [&](std::string keyword) {
        if (keywords.size() < MAX_ENTRIES && seen.insert(keyword).second) {
            keywords.push_back(std::move(keyword));
        }
    };
    static const char CONSONANTS[] = "bcdfghklmnprstvz";
    static const char VOWELS[] = "aeiou";
    bool japanese = japaneseOnly;
    while (keywords.size() < MAX_ENTRIES) {
        std::string stem;
        if (japanese) {
            appendKanji(stem, random);
            appendKanji(stem, random);
            add(stem);
            add(stem + "\x82\xb7\x82\xe9"); // する
            std::string longer = stem;
            appendKanji(longer, random);
            add(longer);
            if (random.percent(50)) {
                std::string loan = stem;
                for (int i = random.between(2, 4); i > 0; --i) {
                    appendKatakana(loan, random);
                }
                add(loan);
            }
        } else {
            for (int i = random.between(2, 3); i > 0; --i) {
                stem += CONSONANTS[random.below(sizeof CONSONANTS - 1)];
                stem += VOWELS[random.below(sizeof VOWELS - 1)];
            }
            add(stem);
            add(stem + "s");
            add(stem + "_id");
            if (random.percent(50)) {
                std::string upper = stem;
                upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
                add(upper + "Mode");
            }
        }
        if (japaneseOnly) {
            std::string single; // one kanji: a keyword of one pair of bytes
            appendKanji(single, random);
            add(single);
        } else {
            japanese = !japanese;
        }
    }
    // Frequency follows position in the list: mix each tier so families
    // are not ranked side by side.
    auto shuffle = [&random](auto first, auto last) {
        for (auto n = last - first; n > 1; --n) {
            std::swap(first[n - 1], first[random.below(static_cast<unsigned>(n))]);
        }
    };
    shuffle(keywords.begin(), keywords.begin() + CORE_ENTRIES);
    shuffle(keywords.begin() + CORE_ENTRIES, keywords.end());
    return keywords;
}

// Cumulative Zipf weights: the keyword of rank r turns up about 1/(r+1)
// as often as the most common one.
std::vector<double> makeFrequencies(size_t count) {
    std::vector<double> cumulative(count);
    double sum = 0;
    for (size_t r = 0; r < count; ++r) {
        sum += 1.0 / static_cast<double>(r + 1);
        cumulative[r] = sum;
    }
    return cumulative;
}

size_t pickRank(const std::vector<double>& cumulative, Random& random) {
    double x = static_cast<double>(random.next() >> 11) / 9007199254740992.0 * cumulative.back();
    auto it = std::upper_bound(cumulative.begin(), cumulative.end(), x);
    return std::min(static_cast<size_t>(it - cumulative.begin()), cumulative.size() - 1);
}

struct CorpusStats {
    uint64_t lines = 0;
    uint64_t keywords = 0;
};

// One line of exactly `length` bytes, CR LF included.
void appendLine(std::string& out, int length, const std::vector<std::string>& keywords,
                const std::vector<double>& frequencies, Random& random, CorpusStats& stats) {
    ++stats.lines;
    if (length < 3) { // only the last line of a corpus under 20 bytes
        out += length == 2 ? "\r\n" : "x";
        return;
    }
    const size_t content = static_cast<size_t>(length - 2);
    const size_t start = out.size();
    const unsigned japanesePercent =
        japaneseOnly ? 97 : std::array<unsigned, 3>{5, 50, 90}[random.below(3)];
    std::string token;
    for (;;) {
        token.clear();
        const bool japanese = random.percent(japanesePercent);
        const bool isKeyword = random.percent(KEYWORD_PERCENT);
        if (isKeyword) {
            token = keywords[pickRank(frequencies, random)];
        } else if (!japanese) {
            token = WORDS[random.below(countOf(WORDS))];
        } else {
            switch (random.below(6)) {
            case 0:
            case 1:
                for (int i = random.between(1, 3); i > 0; --i) {
                    appendKanji(token, random);
                }
                break;
            case 2:
                token = HIRAGANA_RUNS[random.below(countOf(HIRAGANA_RUNS))];
                break;
            case 3:
                for (int i = random.between(1, 4); i > 0; --i) {
                    appendHiragana(token, random);
                }
                break;
            case 4:
                for (int i = random.between(2, 5); i > 0; --i) {
                    appendKatakana(token, random);
                }
                break;
            default:
                token = japaneseOnly ? HIRAGANA_RUNS[random.below(countOf(HIRAGANA_RUNS))]
                                     : PUNCTUATION[random.below(countOf(PUNCTUATION))];
                break;
            }
        }
        if (!japanese) {
            token += ' ';
        }
        if (out.size() - start + token.size() > content) {
            break;
        }
        out += token;
        stats.keywords += isKeyword ? 1 : 0;
    }
    while (out.size() - start < content) {
        out += static_cast<char>('a' + random.below(26));
    }
    out += "\r\n";
}

bool writeCorpus(const char* path, uint64_t size, const std::vector<std::string>& keywords,
                 Random& random) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "tintmark_corpus: %s: %s\n", path, std::strerror(errno));
        return false;
    }
    const std::vector<double> frequencies = makeFrequencies(keywords.size());
    CorpusStats stats;
    std::string block;
    block.reserve((1 << 20) + MAX_LINE);
    uint64_t remaining = size;
    bool ok = true;
    while (remaining > 0 && ok) {
        int length = random.between(MIN_LINE, MAX_LINE);
        if (remaining <= MAX_LINE) {
            length = static_cast<int>(remaining);
        } else if (remaining - static_cast<uint64_t>(length) < MIN_LINE) {
            length = static_cast<int>(remaining - MIN_LINE); // leaves one full last line
        }
        appendLine(block, length, keywords, frequencies, random, stats);
        remaining -= static_cast<uint64_t>(length);
        if (block.size() >= (1 << 20) || remaining == 0) {
            ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
            block.clear();
        }
    }
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "tintmark_corpus: %s: write failed\n", path);
        return false;
    }
    std::fprintf(stderr, "tintmark_corpus: %s: %llu bytes, %llu lines, %.2f keywords a line\n",
                 path, static_cast<unsigned long long>(size),
                 static_cast<unsigned long long>(stats.lines),
                 stats.lines ? static_cast<double>(stats.keywords) / stats.lines : 0.0);
    return true;
}

// The settings file: start marker, the <BR> option, four lines per entry
// (keyword, colour, size, style), end marker; CR LF as a text-mode writer
// leaves it on disk.
bool writeTable(const char* path, int count, const std::vector<std::string>& keywords,
                uint64_t seed) {
    Random random{seed ^ 0x7461626C65ULL ^ static_cast<uint64_t>(count)};
    std::vector<int> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        order[static_cast<size_t>(i)] = i;
    }
    // Creation order has nothing to do with frequency: shuffle, so a short
    // keyword sometimes comes before its longer relatives and sometimes after.
    for (int i = count - 1; i > 0; --i) {
        std::swap(order[static_cast<size_t>(i)], order[random.below(static_cast<unsigned>(i + 1))]);
    }
    std::string text = "[TntMark set file]\r\n1\r\n";
    static const char HEX[] = "0123456789ABCDEF";
    for (int index : order) {
        text += keywords[static_cast<size_t>(index)];
        text += "\r\n";
        if (random.percent(20)) {
            text += NO_COLOUR;
        } else {
            for (int k = 0; k < 6; ++k) {
                text += HEX[random.below(16)];
            }
        }
        text += "\r\n";
        int size;
        unsigned roll = random.below(100);
        if (roll < 30) {
            size = 0;
        } else if (roll < 80) {
            size = random.between(1, 7);
        } else if (roll < 90) {
            size = -random.between(1, 3);
        } else {
            size = random.between(8, 36);
        }
        int style = random.between(0, 15);
        if (random.percent(5)) {
            style |= 1 << random.between(4, 10); // bits with no effect
        }
        text += std::to_string(size) + "\r\n" + std::to_string(style) + "\r\n";
    }
    text += "[TntMark set file end]\r\n";
    FILE* file = std::fopen(path, "wb");
    bool ok = file != nullptr && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file != nullptr) {
        ok = std::fclose(file) == 0 && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "tintmark_corpus: %s: cannot write\n", path);
    }
    return ok;
}

bool parseSize(const char* text, uint64_t* size) {
    char* end;
    errno = 0;
    unsigned long long value = std::strtoull(text, &end, 10);
    if (end == text || errno != 0) {
        return false;
    }
    int shift = 0;
    switch (*end) {
    case 'K':
    case 'k':
        shift = 10;
        ++end;
        break;
    case 'M':
    case 'm':
        shift = 20;
        ++end;
        break;
    case 'G':
    case 'g':
        shift = 30;
        ++end;
        break;
    default:
        break;
    }
    if (shift != 0 && std::strcmp(end, "iB") == 0) {
        end += 2;
    }
    if (*end != '\0' || value > (UINT64_MAX >> shift)) {
        return false;
    }
    *size = value << shift;
    return true;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tintmark_corpus [--japanese] [--seed N] [--size SIZE] [--text FILE] "
                 "[--table COUNT FILE]...\n"
                 "  SIZE in bytes, or with K, M or G; COUNT from 1 to 512\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    uint64_t seed = 1;
    uint64_t size = 64ULL << 20;
    const char* textPath = nullptr;
    std::vector<std::pair<int, const char*>> tables;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == "--japanese") {
            japaneseOnly = true;
        } else if (option == "--seed" && hasValue) {
            char* end;
            seed = std::strtoull(argv[++i], &end, 10);
            if (*end != '\0') {
                return usage();
            }
        } else if (option == "--size" && hasValue) {
            if (!parseSize(argv[++i], &size)) {
                return usage();
            }
        } else if (option == "--text" && hasValue) {
            textPath = argv[++i];
        } else if (option == "--table" && i + 2 < argc) {
            int count = std::atoi(argv[++i]);
            if (count < 1 || count > MAX_ENTRIES) {
                return usage();
            }
            tables.emplace_back(count, argv[++i]);
        } else {
            return usage();
        }
    }
    if (textPath == nullptr && tables.empty()) {
        return usage();
    }
    Random random{seed};
    const std::vector<std::string> keywords = makeKeywords(random);
    for (const auto& table : tables) {
        if (!writeTable(table.second, table.first, keywords, seed)) {
            return 1;
        }
    }
    if (textPath != nullptr && !writeCorpus(textPath, size, keywords, random)) {
        return 1;
    }
    return 0;
}
