// Throughput of whole-file conversion on generated text: plain copying, a
// handful of keywords, and a full table of 512 keywords.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "core/decoration_table.h"
#include "core/line_decorator.h"

namespace {

const char* const WORDS[] = {
    "the",
    "quick",
    "brown",
    "fox",
    "jumps",
    "over",
    "lazy",
    "dog",
    "and",
    "keyword",
    "\x93\xfa\x96\x7b\x8c\xea", // 日本語
    "\x83\x5c\x83\x74\x83\x67", // ソフト
    "\x95\xb6\x8e\x9a",         // 文字
    "\x82\xb1\x82\xea\x82\xcd", // これは
    "\x83\x65\x83\x58\x83\x67", // テスト
    "TintMark",
    "HTML",
    "line",
    "text",
    "\x81\x42", // 。
};

// About `bytes` of text in lines of 20 to 120 bytes, CR LF line ends, with
// an occasional line longer than the 2047-byte read.
std::string makeCorpus(size_t bytes) {
    std::mt19937 random(42);
    std::string text;
    text.reserve(bytes + 4096);
    while (text.size() < bytes) {
        size_t lineLength = 20 + random() % 100;
        if (random() % 500 == 0) {
            lineLength = 3000;
        }
        size_t start = text.size();
        while (text.size() - start < lineLength) {
            text += WORDS[random() % (sizeof WORDS / sizeof WORDS[0])];
            text += ' ';
        }
        text += "\r\n";
    }
    return text;
}

// The benchmark's files live in the temporary directory, not wherever it runs.
std::string scratchPath(const char* name) {
    const char* directory = std::getenv("TMPDIR");
    return std::string(directory != nullptr && *directory != '\0' ? directory : "/tmp") + "/" +
           name;
}

const std::string& corpusPath() {
    static std::string path;
    if (path.empty()) {
        path = scratchPath("tintmark-bench-input.txt");
        std::string corpus = makeCorpus(16 * 1024 * 1024);
        FILE* file = std::fopen(path.c_str(), "wb");
        std::fwrite(corpus.data(), 1, corpus.size(), file);
        std::fclose(file);
    }
    return path;
}

void fillTable(int entries) {
    releaseKeywords();
    clear();
    decorationTable.lineBreakTags = 1;
    const char* const chosen[] = {"keyword", "\x93\xfa\x96\x7b", "fox", "\x83\x5c", "HTML"};
    for (int i = 0; i < entries; ++i) {
        if (i < 5) {
            addEntry(chosen[i], i % 2 ? "" : "FF0000", i, i);
        } else {
            // Mostly absent keywords, as in a large personal list.
            std::string keyword = "kw" + std::to_string(i) + "\x82\xa0";
            addEntry(keyword.c_str(), "00FF00", 3, STYLE_BOLD);
        }
    }
}

void convertCorpus(benchmark::State& state) {
    fillTable(static_cast<int>(state.range(0)));
    const std::string& input = corpusPath();
    const std::string output = scratchPath("tintmark-bench-output.html");
    int64_t bytes = 0;
    for (auto _ : state) {
        bool done = decorateFile(input.c_str(), output.c_str());
        benchmark::DoNotOptimize(done);
        bytes += 16 * 1024 * 1024;
    }
    state.SetBytesProcessed(bytes);
}

// The conversion runs on two threads: rates by wall-clock time, as the CPU
// time measured is the calling thread's alone.
BENCHMARK(convertCorpus)
    ->Arg(0)
    ->Arg(5)
    ->Arg(64)
    ->Arg(512)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(corpusPath().c_str());
    std::remove(scratchPath("tintmark-bench-output.html").c_str());
    return 0;
}
