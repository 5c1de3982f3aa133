#include <gtest/gtest.h>

#include <string>

#include "core/decoration_table.h"
#include "test_support.h"

namespace {

struct DecorationTableTest : ::testing::Test {
    void SetUp() override {
        resetTable();
    }
    void TearDown() override {
        resetTable();
    }
    static std::string keywordAt(int index) {
        return entryText(decorationTable.entries[index]);
    }
};

TEST_F(DecorationTableTest, RemovingMovesLaterEntriesUpInOrder) {
    addEntry("a", "", 0, STYLE_BOLD);
    addEntry("b", "111111", 1, STYLE_ITALIC);
    addEntry("c", "222222", 2, STYLE_UNDERLINE);
    addEntry("d", "333333", 3, STYLE_STRIKE);

    ASSERT_TRUE(removeEntry(1));
    ASSERT_EQ(decorationTable.count, 3);
    EXPECT_EQ(keywordAt(0), "a");
    EXPECT_EQ(keywordAt(1), "c");
    EXPECT_EQ(keywordAt(2), "d");
    EXPECT_STREQ(decorationTable.entries[1].colour, "222222");
    EXPECT_EQ(decorationTable.entries[1].size, 2);
    EXPECT_EQ(decorationTable.entries[1].style, STYLE_UNDERLINE);
    EXPECT_EQ(decorationTable.entries[2].textSize, 2);

    // Removing the last entry only shortens the table.
    ASSERT_TRUE(removeEntry(2));
    EXPECT_EQ(decorationTable.count, 2);
    EXPECT_EQ(keywordAt(1), "c");
}

TEST_F(DecorationTableTest, ReusedSlotTakesOnlyTheNewValues) {
    addEntry("one", "ABCDEF", 4, STYLE_BOLD | STYLE_STRIKE);
    addEntry("two", "", 0, STYLE_ITALIC);
    removeEntry(1); // slot 1 still holds "two"'s old contents
    removeEntry(0);
    addEntry("new", "", 0, STYLE_UNDERLINE);
    addEntry("next", "", 0, 0);

    const DecorationEntry& first = decorationTable.entries[0];
    EXPECT_EQ(keywordAt(0), "new");
    EXPECT_EQ(first.style, STYLE_UNDERLINE);
    EXPECT_EQ(first.size, 0);
    EXPECT_FALSE(hasColour(first));
    EXPECT_EQ(keywordAt(1), "next");
    EXPECT_EQ(decorationTable.entries[1].style, 0);
}

TEST_F(DecorationTableTest, ColourTextRules) {
    addEntry("k", "F00", 0, 0);
    addEntry("k", "#FF0000", 0, 0);
    addEntry("k", "", 0, 0);
    addEntry("k", "\x96\xB3\x95\xCF\x8A\xB7", 0, 0); // typed marker reads as no colour

    EXPECT_STREQ(decorationTable.entries[0].colour, "F00");
    EXPECT_TRUE(hasColour(decorationTable.entries[0]));
    EXPECT_STREQ(decorationTable.entries[1].colour, "#FF000");
    EXPECT_EQ(std::string(decorationTable.entries[2].colour), std::string(NO_COLOUR));
    EXPECT_FALSE(hasColour(decorationTable.entries[2]));
    EXPECT_FALSE(hasColour(decorationTable.entries[3]));
}

TEST_F(DecorationTableTest, RowsStandForIndexesNewestFirst) {
    addEntry("a", "", 0, 0);
    addEntry("b", "", 0, 0);
    addEntry("c", "", 0, 0);
    EXPECT_EQ(rowToIndex(0), 2);
    EXPECT_EQ(rowToIndex(1), 1);
    EXPECT_EQ(rowToIndex(2), 0);
}

TEST_F(DecorationTableTest, ReplaceSetsEveryFieldButHit) {
    addEntry("old", "123456", 7, STYLE_BOLD | STYLE_ITALIC);
    decorationTable.entries[0].hit = 1;
    ASSERT_TRUE(replaceEntry(0, "renewed", "", -3, STYLE_ITALIC));
    const DecorationEntry& entry = decorationTable.entries[0];
    EXPECT_EQ(keywordAt(0), "renewed");
    EXPECT_EQ(entry.textSize, 8);
    EXPECT_FALSE(hasColour(entry));
    EXPECT_EQ(entry.size, -3);
    EXPECT_EQ(entry.style, STYLE_ITALIC);
    EXPECT_EQ(entry.hit, 1);
}

TEST_F(DecorationTableTest, GuardsKeepTheTableWhole) {
    // No live entry at these indexes: nothing changes, count never goes negative.
    EXPECT_FALSE(removeEntry(0));
    EXPECT_FALSE(removeEntry(rowToIndex(-1)));
    EXPECT_FALSE(replaceEntry(0, "x", "", 0, 0));
    EXPECT_EQ(decorationTable.count, 0);

    for (int i = 0; i < MAX_ENTRIES; ++i) {
        ASSERT_TRUE(addEntry(std::to_string(i).c_str(), "", 0, 0));
    }
    EXPECT_FALSE(addEntry("one too many", "", 0, 0));
    EXPECT_FALSE(appendLoaded("x", 1, "", 0, 0, 0));
    EXPECT_EQ(decorationTable.count, MAX_ENTRIES);
    EXPECT_EQ(keywordAt(MAX_ENTRIES - 1), "511");
}

TEST_F(DecorationTableTest, LongKeywordsAreCutTo511Bytes) {
    const std::string longKeyword(700, 'k');
    addEntry(longKeyword.c_str(), "", 0, 0);
    appendLoaded(longKeyword.data(), 700, "ABCDEFGH", 8, 0, 0);
    replaceEntry(0, (longKeyword + "x").c_str(), "", 0, 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(keywordAt(i), std::string(511, 'k'));
        EXPECT_EQ(decorationTable.entries[i].textSize, 512);
    }
    EXPECT_STREQ(decorationTable.entries[1].colour, "ABCDEF");
}

} // namespace
