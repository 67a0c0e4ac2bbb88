#include <gtest/gtest.h>

#include <string>

#include "export/OutputPattern.h"

namespace {

struct PatternCase {
    const char* text;
    unsigned frame;
    const char* expected;  // null: the pattern is refused
};

void PrintTo(const PatternCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}

class OutputPatterns : public ::testing::TestWithParam<PatternCase> {};

// Catches names built wrongly (padding, percent signs) and patterns that would hand a
// user's text to printf or lose the frame number.
TEST_P(OutputPatterns, NameFramesOrAreRefused) {
    COutputPattern pattern;
    std::string error;
    const bool parsed = COutputPattern::Parse(GetParam().text, &pattern, &error);
    if (GetParam().expected == nullptr) {
        EXPECT_FALSE(parsed);
        EXPECT_NE(error.find(GetParam().text), std::string::npos);
        return;
    }
    ASSERT_TRUE(parsed) << error;
    EXPECT_EQ(pattern.NameFor(GetParam().frame), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, OutputPatterns,
    ::testing::Values(PatternCase{"out/frame-%05d.png", 42, "out/frame-00042.png"},
                      PatternCase{"f%d.tif", 1234567, "f1234567.tif"},
                      PatternCase{"f%3d.png", 7, "f  7.png"},
                      PatternCase{"f%02d.png", 123, "f123.png"},
                      PatternCase{"100%%-%d.png", 3, "100%-3.png"},
                      PatternCase{"plain.png", 0, nullptr}, PatternCase{"%d-%d.png", 0, nullptr},
                      PatternCase{"%s.png", 0, nullptr}, PatternCase{"%n.png", 0, nullptr},
                      PatternCase{"%123d.png", 0, nullptr}, PatternCase{"end%", 0, nullptr}));

}  // namespace
