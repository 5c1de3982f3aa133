// Text-mode reading and writing: line-end translation, piece sizes, the
// end-of-file marker, and the boundaries of the reader's and the writer's
// buffers (TEXT_READER_BUFFER and TEXT_WRITER_BUFFER bytes).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/text_reader.h"
#include "core/text_writer.h"
#include "core/text_regions.h"
#include "test_support.h"

namespace {

struct Piece {
    std::string bytes;
    int64_t position; // reader position after the piece
};

bool operator==(const Piece& a, const Piece& b) {
    return a.bytes == b.bytes && a.position == b.position;
}

std::ostream& operator<<(std::ostream& out, const Piece& piece) {
    return out << "{" << piece.bytes.size() << " bytes, position " << piece.position << "}";
}

class TextFileFixture : public ::testing::Test {
  protected:
    // Reads the file in pieces of at most capacity - 1 bytes until nothing is left.
    std::vector<Piece> readPieces(const std::string& content, int capacity) {
        writeFile(dir.path("in.txt"), content);
        auto reader = std::make_unique<TextReader>();
        std::vector<Piece> pieces;
        if (!openTextReader(reader.get(), toPath(dir.path("in.txt")).c_str())) {
            ADD_FAILURE() << "cannot open the input";
            return pieces;
        }
        EXPECT_EQ(textReaderFileSize(reader.get()), static_cast<int64_t>(content.size()));
        std::vector<char> buffer(static_cast<size_t>(capacity), 'X');
        for (int n; (n = readTextLine(reader.get(), buffer.data(), capacity)) > 0;) {
            EXPECT_LT(n, capacity);
            EXPECT_EQ(buffer[static_cast<size_t>(n)], '\0');
            pieces.push_back({std::string(buffer.data(), static_cast<size_t>(n)),
                              textReaderPosition(reader.get())});
        }
        // Nothing is left, and asking again changes nothing.
        EXPECT_EQ(readTextLine(reader.get(), buffer.data(), capacity), 0);
        closeTextReader(reader.get());
        return pieces;
    }

    // The same file cut into regions of `capacity` bytes (reading `size`
    // bytes of it), then each region into pieces of at most maxLength bytes.
    std::vector<std::string> regionPieces(int64_t size, size_t capacity, int maxLength,
                                          int* regionCount) {
        FILE* file = std::fopen(dir.path("in.txt").c_str(), "rb");
        std::vector<std::string> pieces;
        if (file == nullptr) {
            ADD_FAILURE() << "cannot open the input";
            return pieces;
        }
        std::setvbuf(file, nullptr, _IONBF, 0);
        auto reader = std::make_unique<TextRegionReader>();
        openTextRegions(reader.get(), file, size, ENCODING_AUTO);
        std::vector<unsigned char> bytes(capacity + SHORT_COPY_LIMIT + 8);
        *regionCount = 0;
        for (bool last = false; !last;) {
            const size_t length =
                readTextRegion(reader.get(), bytes.data(), capacity, maxLength, &last);
            EXPECT_TRUE(length > 0 || last) << "a region before the last is empty";
            ++*regionCount;
            TextRegion region = {bytes.data(), length, 0, nullptr, 0, reader->encoding};
            char* piece = nullptr;
            for (int n; (n = nextRegionPiece(&region, &piece, maxLength)) > 0;) {
                EXPECT_EQ(piece[n], '\0');
                pieces.emplace_back(piece, static_cast<size_t>(n));
            }
        }
        EXPECT_FALSE(reader->failed);
        std::fclose(file);
        return pieces;
    }

    std::string written(const std::vector<std::string>& chunks) {
        auto writer = std::make_unique<TextWriter>();
        writeFile(dir.path("out.txt"), "old contents\n");
        EXPECT_TRUE(openTextWriter(writer.get(), toPath(dir.path("out.txt")).c_str()));
        for (const std::string& chunk : chunks) {
            writeText(writer.get(), chunk.data(), chunk.size());
        }
        EXPECT_TRUE(closeTextWriter(writer.get()));
        return readFile(dir.path("out.txt"));
    }

    ScratchDir dir;
};

class TextFileReader : public TextFileFixture {};
class TextFileWriter : public TextFileFixture {};

std::string repeat(char c, size_t n) {
    return std::string(n, c);
}

} // namespace

TEST_F(TextFileReader, TranslatesLineEndsAndCountsRawBytes) {
    const std::vector<Piece> expected = {
        {"a\n", 3}, {"b\rc\n", 7}, {"d\r\n", 11}, {std::string("x\0y\n", 4), 16}, {"e", 17}};
    EXPECT_EQ(readPieces(std::string("a\r\nb\rc\nd\r\r\nx\0y\r\ne", 17), 100), expected);
}

TEST_F(TextFileReader, PieceSizeCountsTranslatedBytes) {
    EXPECT_EQ(readPieces("abcdefg\n", 4), (std::vector<Piece>{{"abc", 3}, {"def", 6}, {"g\n", 8}}));
    // CR LF is one byte once read, so it still fits in a piece of three.
    EXPECT_EQ(readPieces("ab\r\ncd", 4), (std::vector<Piece>{{"ab\n", 4}, {"cd", 6}}));
    // A piece that stops before CR LF leaves the whole pair for the next one.
    EXPECT_EQ(readPieces("ab\r\ncd", 3), (std::vector<Piece>{{"ab", 2}, {"\n", 4}, {"cd", 6}}));
}

TEST_F(TextFileReader, EndOfFileMarkerEndsReading) {
    EXPECT_EQ(readPieces("ab\x1A\ncd\n", 100), (std::vector<Piece>{{"ab", 2}}));
    EXPECT_EQ(readPieces("ab\n\x1A", 100), (std::vector<Piece>{{"ab\n", 3}}));
    EXPECT_TRUE(readPieces("\x1A"
                           "ab\n",
                           100)
                    .empty());
}

// The first buffer of the file ends in a CR: the reader must fill the next
// one to learn whether an LF follows before it can decide the CR's fate.
TEST_F(TextFileReader, CrLfAcrossBufferBoundary) {
    // The CR is the last byte of the first buffer, the LF the first byte of
    // the second; the file ends with a lone CR.
    const size_t before = TEXT_READER_BUFFER - 1;
    const int64_t lineEnd = static_cast<int64_t>(TEXT_READER_BUFFER) + 1; // raw bytes to the LF
    const std::string content = repeat('a', before) + "\r\nz\r";
    EXPECT_EQ(readPieces(content, static_cast<int>(content.size()) + 1),
              (std::vector<Piece>{{repeat('a', before) + "\n", lineEnd}, {"z\r", lineEnd + 2}}));

    // In pieces of 2047 bytes, the last of which holds the line's end; and in
    // pieces that stop exactly before the CR, so that a read starts with it.
    size_t exact = 2047;
    while (before % exact != 0) {
        --exact;
    }
    for (const size_t length : {size_t{2047}, exact}) {
        std::vector<Piece> expected;
        size_t done = 0;
        for (; before - done >= length; done += length) {
            expected.push_back({repeat('a', length), static_cast<int64_t>(done + length)});
        }
        expected.push_back({repeat('a', before - done) + "\n", lineEnd});
        expected.push_back({"z\r", lineEnd + 2});
        EXPECT_EQ(readPieces(content, static_cast<int>(length) + 1), expected)
            << "pieces of " << length;
    }
}

TEST_F(TextFileReader, LoneCrAtBufferBoundaryStays) {
    const std::string content = repeat('a', TEXT_READER_BUFFER - 1) + "\rb";
    EXPECT_EQ(readPieces(content, static_cast<int>(content.size()) + 1),
              (std::vector<Piece>{{content, static_cast<int64_t>(content.size())}}));
}

// Regions are cut where a piece starts whatever follows: they must give
// exactly the pieces of a plain read, for every kind of line end, lines
// longer than a piece, CR LF and 0x1A anywhere, and a size short of the file.
TEST_F(TextFileReader, RegionsGiveThePiecesOfAPlainRead) {
    static const char BYTES[] = {'a', 'b', '\r', '\n', '\0', '\x1A'};
    for (uint64_t seed = 1; seed <= 300; ++seed) {
        std::mt19937_64 random(seed);
        const int maxLength = 3 + static_cast<int>(random() % 40);
        const size_t capacity = 2 * static_cast<size_t>(maxLength) + 2 + random() % 60;
        std::string content;
        for (size_t n = random() % 2000; n > 0; --n) {
            const uint64_t pick = random() % 100;
            content += pick < 1 && seed % 4 == 0 ? BYTES[5]
                       : pick < 10               ? BYTES[2 + random() % 3]
                                                 : BYTES[random() % 2];
        }
        if (random() % 3 == 0) {
            // Long runs with no LF at all.
            content += std::string(static_cast<size_t>(maxLength) * (1 + random() % 9), 'a');
        }
        // Now and then only part of the file, as if it had grown since.
        const size_t size = seed % 5 == 0 ? random() % (content.size() + 1) : content.size();
        std::vector<std::string> expected;
        for (const Piece& piece : readPieces(content.substr(0, size), maxLength + 1)) {
            expected.push_back(piece.bytes);
        }
        writeFile(dir.path("in.txt"), content);
        int regions = 0;
        ASSERT_EQ(regionPieces(static_cast<int64_t>(size), capacity, maxLength, &regions), expected)
            << "seed " << seed;
        // No region holds more than its capacity.
        const size_t readable = std::min(size, content.find('\x1A'));
        EXPECT_GE(static_cast<size_t>(regions), readable / capacity) << "seed " << seed;
    }
}

TEST_F(TextFileReader, MissingFileDoesNotOpen) {
    auto reader = std::make_unique<TextReader>();
    EXPECT_FALSE(openTextReader(reader.get(), toPath(dir.path("none.txt")).c_str()));
}

TEST_F(TextFileWriter, EveryLfBecomesCrLfAcrossBuffer) {
    // An LF whose CR LF just fills the buffer, and one that comes when a
    // single byte of it is left: each still gets its CR.
    for (const size_t before : {TEXT_WRITER_BUFFER - 2, TEXT_WRITER_BUFFER - 1}) {
        EXPECT_EQ(written({repeat('a', before) + "\nb\n"}), repeat('a', before) + "\r\nb\r\n");
    }

    std::string lineEnds;
    for (size_t i = 0; i < TEXT_WRITER_BUFFER; ++i) {
        lineEnds += "\r\n";
    }
    EXPECT_EQ(written({repeat('\n', TEXT_WRITER_BUFFER)}), lineEnds);

    std::vector<std::string> chunks;
    std::string expected;
    for (size_t i = 0; i < TEXT_WRITER_BUFFER / 2; ++i) {
        chunks.push_back("x");
        chunks.push_back("\n");
        expected += "x\r\n";
    }
    EXPECT_EQ(written(chunks), expected);

    // A CR before an LF is kept: the LF still gets its own CR.
    EXPECT_EQ(written({"a\r\nb\rc"}), "a\r\r\nb\rc");
}

TEST_F(TextFileWriter, StringsAndNumbers) {
    auto writer = std::make_unique<TextWriter>();
    writeFile(dir.path("out.txt"), "old contents\n");
    ASSERT_TRUE(openTextWriter(writer.get(), toPath(dir.path("out.txt")).c_str()));
    writeTextString(writer.get(), "size=");
    writeTextNumber(writer.get(), -12);
    writeTextString(writer.get(), ",");
    writeTextNumber(writer.get(), 0);
    writeTextString(writer.get(), ",");
    writeTextNumber(writer.get(), INT32_MIN);
    writeTextString(writer.get(), ",");
    writeTextNumber(writer.get(), INT32_MAX);
    writeTextString(writer.get(), "\n");
    EXPECT_TRUE(closeTextWriter(writer.get()));
    EXPECT_EQ(readFile(dir.path("out.txt")), "size=-12,0,-2147483648,2147483647\r\n");
}

// A writer whose owner takes its text (a pipeline lane that waits for its
// turn at a shared file) gets it from the writer's own buffer, a full buffer
// at a time until it is flushed, in order and whole.
TEST_F(TextFileWriter, HandsFullBuffersToItsDestination) {
    auto writer = std::make_unique<TextWriter>();
    ASSERT_TRUE(openTextWriter(writer.get(), toPath(dir.path("out.txt")).c_str()));
    static std::vector<char> buffer(100 + SHORT_COPY_LIMIT);
    useTextWriterBuffer(writer.get(), buffer.data(), 100);
    static std::vector<std::string> handed;
    handed.clear();
    sendTextTo(
        writer.get(),
        [](void*, const char* bytes, size_t length) {
            handed.emplace_back(bytes, length);
            return true;
        },
        nullptr);
    static const char text[8 + SHORT_COPY_LIMIT] = "abcdefg"; // copied in whole blocks
    for (int i = 0; i < 30; ++i) {
        writeShortBytes(writer.get(), text, 7); // 210 bytes through 100
    }
    EXPECT_EQ(handed.size(), 2u);
    EXPECT_TRUE(flushTextWriter(writer.get()));
    std::string expected;
    for (int i = 0; i < 30; ++i) {
        expected += "abcdefg";
    }
    ASSERT_EQ(handed.size(), 3u);
    EXPECT_EQ(handed[0].size(), 100u);
    EXPECT_EQ(handed[1].size(), 100u);
    EXPECT_EQ(handed[0] + handed[1] + handed[2], expected);
    EXPECT_TRUE(closeTextWriter(writer.get()));
    EXPECT_EQ(readFile(dir.path("out.txt")), ""); // nothing went to the file itself
}

TEST_F(TextFileWriter, UnopenablePathFails) {
    auto writer = std::make_unique<TextWriter>();
    EXPECT_FALSE(openTextWriter(writer.get(), toPath((dir.path("missing") + "/out.txt")).c_str()));
    EXPECT_FALSE(fileExists(dir.path("missing")));
}
