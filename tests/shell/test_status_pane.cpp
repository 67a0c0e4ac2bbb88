#include <gtest/gtest.h>

#include "shell/StatusPane.h"

namespace {

// Catches a long text cut off mid-character with no sign of it, a tool tip that stays
// after the text fits again, and a short text shown other than whole.
TEST(StatusPane, LongTextEndsInAnEllipsisWithTheWholeTextAsToolTip) {
    QWidget parent;
    CStatusPane pane(&parent);
    parent.show();
    pane.setFixedWidth(90);
    const QString rate = QStringLiteral("2088 fps, 187801");
    pane.SetText(rate);
    EXPECT_TRUE(pane.ShownText().endsWith(QChar(0x2026))) << pane.ShownText().toStdString();
    EXPECT_TRUE(rate.startsWith(pane.ShownText().chopped(1)));
    EXPECT_EQ(pane.toolTip(), rate);

    pane.setFixedWidth(400);
    EXPECT_EQ(pane.ShownText(), rate);
    EXPECT_TRUE(pane.toolTip().isEmpty());

    pane.setFixedWidth(90);
    pane.SetText(QStringLiteral("25 fps, 71"));
    EXPECT_EQ(pane.ShownText(), QStringLiteral("25 fps, 71"));
    EXPECT_TRUE(pane.toolTip().isEmpty());
}

}  // namespace
