#include <gtest/gtest.h>

#include "platform/ui/Resources.h"

namespace {

struct FieldCase {
    const char* pszText;
    int nField;
    const char* pszExpected;
};

void PrintTo(const FieldCase& c, std::ostream* os) {
    *os << "field " << c.nField << " of " << ::testing::PrintToString(c.pszText);
}

class SubStrings : public ::testing::TestWithParam<FieldCase> {};

// Catches tool tips taken from the wrong field, a missing line feed giving the prompt as
// tool tip, or a trailing blank being trimmed away.
TEST_P(SubStrings, SplitAtLineFeeds) {
    const FieldCase c = GetParam();
    EXPECT_EQ(ExtractSubString(QString::fromLatin1(c.pszText), c.nField),
              QString::fromLatin1(c.pszExpected));
}

INSTANTIATE_TEST_SUITE_P(Cases, SubStrings,
                         ::testing::Values(FieldCase{"\nGrab", 1, "Grab"},
                                           FieldCase{"\nStart ", 1, "Start "},
                                           FieldCase{"About", 1, ""},
                                           FieldCase{"Prompt\nTip\nMore", 1, "Tip"},
                                           FieldCase{"Prompt\nTip", 0, "Prompt"}));

// Catches a lookup that invents strings for unknown ids or touches the output then.
TEST(StringTable, UnknownIdLeavesTextAlone) {
    static constexpr StringResource kStrings[] = {{7, "seven"}};
    InstallResources({kStrings, {}, {}, {}});
    QString str = QStringLiteral("before");
    EXPECT_FALSE(LoadResString(8, str));
    EXPECT_EQ(str, QStringLiteral("before"));
    EXPECT_TRUE(LoadResString(7, str));
    EXPECT_EQ(str, QStringLiteral("seven"));
}

}  // namespace
