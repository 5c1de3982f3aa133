// A fixture for converting whole files with the decorator: an empty table
// before and after each test, and the decorator's settings as they were.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/line_decorator.h"
#include "test_support.h"

class DecoratorFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        resetTable();
    }
    void TearDown() override {
        resetTable();
        setDecoratorEncoding(ENCODING_AUTO);
        setDecoratorRegionLength(size_t(1) << 30); // as large as they go
    }

    // Converts the bytes and returns the output file's bytes.
    std::string convert(const std::string& input) {
        writeFile(dir.path("in.txt"), input);
        EXPECT_TRUE(
            decorateFile(toPath(dir.path("in.txt")).c_str(), toPath(dir.path("in.html")).c_str()));
        return readFile(dir.path("in.html"));
    }

    ScratchDir dir;
};
