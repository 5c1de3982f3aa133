// The clamped decimal reader behind the settings file's numbers and the
// editor's size field.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/decimal.h"

namespace {

int32_t parse(const std::string& text) {
    return parseDecimal(text.c_str());
}

} // namespace

TEST(Decimal, WhiteSpaceSignAndDigits) {
    EXPECT_EQ(parse("42"), 42);
    EXPECT_EQ(parse(" \t\n\v\f\r42"), 42);
    EXPECT_EQ(parse("+7"), 7);
    EXPECT_EQ(parse("-7"), -7);
    EXPECT_EQ(parse("007"), 7);
    EXPECT_EQ(parse("-0"), 0);
    // White space is the C locale's only: a no-break space in code page 1252
    // and a full-width space in code page 932 end the number before it starts.
    EXPECT_EQ(parse(std::string("\xA0") + "5"), 0);
    EXPECT_EQ(parse(std::string("\x81\x40") + "5"), 0);
}

TEST(Decimal, StopsAtTheFirstByteThatIsNoDigit) {
    EXPECT_EQ(parse("12pt"), 12);
    EXPECT_EQ(parse("12 34"), 12);
    EXPECT_EQ(parse("3\r\n"), 3);
    EXPECT_EQ(parse("pt12"), 0);
    EXPECT_EQ(parse(""), 0);
    EXPECT_EQ(parse("-"), 0);
    EXPECT_EQ(parse("+-5"), 0);
    EXPECT_EQ(parse("- 5"), 0);
    EXPECT_EQ(parse("5-"), 5);
}

TEST(Decimal, HeldToThe32BitRange) {
    EXPECT_EQ(parse("2147483647"), INT32_MAX);
    EXPECT_EQ(parse("2147483648"), INT32_MAX);
    EXPECT_EQ(parse("-2147483648"), INT32_MIN);
    EXPECT_EQ(parse("-2147483649"), INT32_MIN);
    EXPECT_EQ(parse("4294967297"), INT32_MAX); // 2^32 + 1 would wrap to 1
    EXPECT_EQ(parse("-4294967295"), INT32_MIN);
    EXPECT_EQ(parse("9223372036854775808"), INT32_MAX); // past 64 bits too
}

TEST(Decimal, AnyNumberOfDigits) {
    const std::string nines(5000, '9');
    EXPECT_EQ(parse(nines), INT32_MAX);
    EXPECT_EQ(parse("-" + nines), INT32_MIN);
    EXPECT_EQ(parse(nines + "x"), INT32_MAX);
    // Leading zeros count for nothing, however many there are.
    EXPECT_EQ(parse(std::string(5000, '0') + "123"), 123);
    EXPECT_EQ(parse("-" + std::string(5000, '0') + "2147483648"), INT32_MIN);
}
