#include <gtest/gtest.h>

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include "platform/ui/Dialog.h"
#include "resources/Resource.h"
#include "shell/AboutDlg.h"
#include "tests/platform/ui/WidgetTest.h"

namespace {

// Catches a wrong caption, a missing picture or border, missing text lines, an OK that
// does not end the box, and the box not being owned by the given window.
TEST(AboutBox, ShowsPictureTextsAndOkOwnedByParent) {
    QWidget owner;
    owner.show();
    CAboutDlg dlg(&owner);
    QString caption;
    QStringList texts;
    bool bPicture = false, bBorder = false, bOwned = false;
    WhenModalOpens([&](QWidget* pModal) {
        caption = pModal->windowTitle();
        bOwned = pModal->parentWidget() == &owner;
        for (QLabel* pLabel : pModal->findChildren<QLabel*>()) {
            if (!pLabel->pixmap().isNull()) {
                bPicture = pLabel->pixmap().size() == QSize(103, 126);
                bBorder = pLabel->frameShape() == QFrame::Box && pLabel->lineWidth() == 1;
            } else {
                texts << pLabel->text();
            }
        }
        qobject_cast<QPushButton*>(dlg.GetDlgItem(IDOK))->click();
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(caption, QStringLiteral("About Pandry"));
    EXPECT_TRUE(bPicture);
    EXPECT_TRUE(bBorder);
    EXPECT_TRUE(bOwned);
    ASSERT_EQ(texts.size(), 3);
    EXPECT_EQ(texts[1], QStringLiteral("Pandry.exe Release 2.1"));
    owner.hide();
    EXPECT_EQ(VisibleTopLevelCount(), 0);
}

}  // namespace
