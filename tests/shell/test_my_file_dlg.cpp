#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "platform/ui/MessageBox.h"
#include "shell/MyFileDlg.h"
#include "tests/platform/ui/WidgetTest.h"

namespace {

// As the Save command makes it.
constexpr unsigned kSaveFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
const char* const kFilter = "Bitmap Files (*.bmp)|*.bmp||";

class SaveBitmapDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_folder.isValid());
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_folder.path());
    }
    void TearDown() override {
        QDir::setCurrent(m_previous);
        EXPECT_EQ(VisibleTopLevelCount(), 0);
    }
    static QLineEdit* NameEdit(QFileDialog* pDialog) {
        return pDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    }
    static void Accept(QFileDialog* pDialog) {
        auto* pButtons = pDialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        pButtons->button(QDialogButtonBox::Save)->click();
    }

    QTemporaryDir m_folder;
    QString m_previous;
};

// Catches a wrong title, mode, initial name, extension or filter, and the picture missing
// or not to the right of the standard controls.
TEST_F(SaveBitmapDialog, OpensTitledWithNameAndPictureOnTheRight) {
    CMyFileDlg dlg(false, "bmp", "*.bmp", kSaveFlags, kFilter);
    QString title, name, suffix;
    QStringList filters;
    bool bSaveMode = false, bPictureRight = false;
    WhenModalOpens([&](QWidget*) {
        QFileDialog* pDialog = dlg.GetDialog();
        title = pDialog->windowTitle();
        name = NameEdit(pDialog)->text();
        suffix = pDialog->defaultSuffix();
        filters = pDialog->nameFilters();
        bSaveMode = pDialog->acceptMode() == QFileDialog::AcceptSave;
        auto* pPicture = pDialog->findChild<QLabel*>(QStringLiteral("picture"));
        auto* pButtons = pDialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        if (pPicture != nullptr && pButtons != nullptr) {
            const QPoint standardRight = pButtons->mapTo(pDialog, QPoint(pButtons->width(), 0));
            bPictureRight =
                pPicture->geometry().left() >= standardRight.x() && !pPicture->pixmap().isNull();
        }
        pDialog->reject();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(title, QStringLiteral("Save Bitmap"));
    EXPECT_EQ(name, QStringLiteral("*.bmp"));
    EXPECT_EQ(suffix, QStringLiteral("bmp"));
    EXPECT_EQ(filters, QStringList{QStringLiteral("Bitmap Files (*.bmp)")});
    EXPECT_TRUE(bSaveMode);
    EXPECT_TRUE(bPictureRight);
}

// Catches a bare name coming back (it would be written into whatever folder is current
// later) and the default extension not being added.
TEST_F(SaveBitmapDialog, NameWithoutExtensionGetsBmpAndFolder) {
    CMyFileDlg dlg(false, "bmp", "*.bmp", kSaveFlags, kFilter);
    WhenModalOpens([&](QWidget*) {
        NameEdit(dlg.GetDialog())->setText(QStringLiteral("frame"));
        Accept(dlg.GetDialog());
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.GetFileName(), QDir(m_folder.path()).filePath(QStringLiteral("frame.bmp")));
}

// Catches an existing file being overwritten without asking, and "No" still ending the
// dialog with that name.
TEST_F(SaveBitmapDialog, ExistingFileAsksFirst) {
    QFile existing(QDir(m_folder.path()).filePath(QStringLiteral("old.bmp")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    CMyFileDlg dlg(false, "bmp", "*.bmp", kSaveFlags, kFilter);
    bool bAsked = false, bStillOpen = false;
    WhenModalOpens([&](QWidget*) {
        QFileDialog* pDialog = dlg.GetDialog();
        NameEdit(pDialog)->setText(QStringLiteral("old.bmp"));
        WhenModalOpens([&](QWidget* pBox) {
            bAsked = qobject_cast<QMessageBox*>(pBox) != nullptr;
            if (auto* pMessage = qobject_cast<QMessageBox*>(pBox)) {
                pMessage->button(QMessageBox::No)->click();
            }
        });
        Accept(pDialog);
        bStillOpen = pDialog->isVisible();
        pDialog->reject();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(bAsked);
    EXPECT_TRUE(bStillOpen);
}

// Catches the filter's patterns being lost when a description carries no parentheses.
TEST(FilterForm, DescriptionsWithPatterns) {
    EXPECT_EQ(ParseFilter(QStringLiteral("Bitmap Files (*.bmp)|*.bmp||")),
              QStringList{QStringLiteral("Bitmap Files (*.bmp)")});
    EXPECT_EQ(ParseFilter(QStringLiteral("Bitmaps|*.bmp|All|*||")),
              (QStringList{QStringLiteral("Bitmaps (*.bmp)"), QStringLiteral("All (*)")}));
    EXPECT_TRUE(ParseFilter(QString()).isEmpty());
}

}  // namespace

namespace {

// Catches the initial pattern "*.bmp" coming back as a file name when the operator presses
// Save without typing one: it only filters the list.
TEST_F(SaveBitmapDialog, PatternInNameFieldIsNoFileName) {
    CMyFileDlg dlg(false, "bmp", "*.bmp", kSaveFlags, kFilter);
    bool bStillOpen = false;
    WhenModalOpens([&](QWidget*) {
        Accept(dlg.GetDialog());
        bStillOpen = dlg.GetDialog()->isVisible();
        dlg.GetDialog()->reject();
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(bStillOpen);
    EXPECT_EQ(dlg.GetFileName(), QString());
}

}  // namespace
