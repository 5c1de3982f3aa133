// Under Wine every Windows suite runs once per locale; this check, run with
// each group, shows the run had the code page its locale stands for.
#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#include <gtest/gtest.h>

TEST(WindowsCodePage, IsTheOneTheRunAskedFor) {
    const char* expected = std::getenv("TINTMARK_EXPECT_ACP");
    if (expected == nullptr) {
        GTEST_SKIP() << "TINTMARK_EXPECT_ACP not set";
    }
    EXPECT_EQ(GetACP(), static_cast<UINT>(std::strtoul(expected, nullptr, 10)));
}
#endif
