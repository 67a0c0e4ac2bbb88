#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>

#include "platform/ui/DataExchange.h"
#include "platform/ui/Dialog.h"
#include "platform/ui/Resources.h"
#include "platform/ui/WinApp.h"
#include "tests/platform/ui/WidgetTest.h"

namespace {

constexpr unsigned kTemplate = 900;
constexpr int kText = 1001;
constexpr int kNumber = 1002;
constexpr int kLater = 1003;

constexpr ControlTemplate kControls[] = {
    {ControlKind::DefPushButton, 1, "OK", 10, 80, 50, 14},
    {ControlKind::Edit, kText, nullptr, 10, 10, 60, 12},
    {ControlKind::Edit, kNumber, nullptr, 10, 30, 60, 12},
    {ControlKind::Edit, kLater, nullptr, 10, 50, 60, 12},
};
constexpr DialogTemplate kDialogs[] = {{kTemplate, "Exchange", 120, 100, 0, 0, kControls}};
constexpr StringResource kStrings[] = {{0xE000, "Test title"}};

// A dialog whose save direction runs while it is open; the test types into it first.
class CExchangeDlg : public CDialog {
  public:
    CExchangeDlg() : CDialog(kTemplate) {}
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kText, m_strText);
        DDV_MaxChars(pDX, m_strText, 4);
        DDX_Text(pDX, kNumber, m_nNumber);
        DDV_MinMaxInt(pDX, m_nNumber, 1, 10);
        DDX_Text(pDX, kLater, m_strLater);
    }
    QString m_strText = QStringLiteral("ab");
    int m_nNumber = 5;
    QString m_strLater = QStringLiteral("old");
};

struct ExchangeCase {
    const char* pszText;
    const char* pszNumber;
    bool bPasses;
    int nNumberAfter;
    int nFocusAfter;  // control with the focus after a failure
};

void PrintTo(const ExchangeCase& c, std::ostream* os) {
    *os << "text " << ::testing::PrintToString(c.pszText) << " number "
        << ::testing::PrintToString(c.pszNumber);
}

class SaveDirection : public ::testing::TestWithParam<ExchangeCase> {
  protected:
    void SetUp() override { InstallResources({kStrings, kDialogs, {}, {}}); }
};

// Catches decimal parsing that accepts trailing junk or rejects blanks and signs, a failed
// step that lets later fields change, a too-long text passing, a message without the
// application's caption, and the focus not landing on the failing field.
TEST_P(SaveDirection, FirstFailureStopsTheExchange) {
    CWinApp app;
    app.m_strAppName = QStringLiteral("Test title");
    const ExchangeCase c = GetParam();
    CExchangeDlg dlg;
    bool bResult = false;
    QString caption;
    int nFocus = 0;
    WhenModalOpens([&](QWidget*) {
        static_cast<QLineEdit*>(dlg.GetDlgItem(kText))->setMaxLength(100);
        static_cast<QLineEdit*>(dlg.GetDlgItem(kText))->setText(QString::fromLatin1(c.pszText));
        static_cast<QLineEdit*>(dlg.GetDlgItem(kNumber))->setText(QString::fromLatin1(c.pszNumber));
        static_cast<QLineEdit*>(dlg.GetDlgItem(kLater))->setText(QStringLiteral("new"));
        if (!c.bPasses) {
            AnswerNextMessageBox(&caption, nullptr);
        }
        bResult = dlg.UpdateData(true);
        QWidget* pFocus = dlg.GetSafeHwnd()->focusWidget();
        for (int nID : {kText, kNumber, kLater}) {
            if (dlg.GetDlgItem(nID) == pFocus) {
                nFocus = nID;
            }
        }
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(bResult, c.bPasses);
    EXPECT_EQ(dlg.m_nNumber, c.nNumberAfter);
    EXPECT_EQ(dlg.m_strLater, c.bPasses ? QStringLiteral("new") : QStringLiteral("old"));
    if (!c.bPasses) {
        EXPECT_EQ(caption, QStringLiteral("Test title"));
        EXPECT_EQ(nFocus, c.nFocusAfter);
    }
    EXPECT_EQ(VisibleTopLevelCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SaveDirection,
    ::testing::Values(ExchangeCase{"abcd", " 7 ", true, 7, 0},
                      ExchangeCase{"abcd", "+3", true, 3, 0},
                      ExchangeCase{"abcde", "7", false, 5, kText},  // too long
                      ExchangeCase{"ab", "7x", false, 5, kNumber},  // not an integer
                      ExchangeCase{"ab", "", false, 5, kNumber},
                      ExchangeCase{"ab", "99999999999", false, 5, kNumber},
                      ExchangeCase{"ab", "11", false, 11, kNumber},  // out of range
                      ExchangeCase{"ab", "-1", false, -1, kNumber}));

// Catches the load direction not filling the edits or not setting the input limit.
TEST(LoadDirection, FillsEditsAndSetsLimits) {
    InstallResources({kStrings, kDialogs, {}, {}});
    CExchangeDlg dlg;
    QString text, number;
    int nLimit = 0;
    WhenModalOpens([&](QWidget*) {
        text = static_cast<QLineEdit*>(dlg.GetDlgItem(kText))->text();
        number = static_cast<QLineEdit*>(dlg.GetDlgItem(kNumber))->text();
        nLimit = static_cast<QLineEdit*>(dlg.GetDlgItem(kText))->maxLength();
        dlg.EndDialog(IDCANCEL);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(text, QStringLiteral("ab"));
    EXPECT_EQ(number, QStringLiteral("5"));
    EXPECT_EQ(nLimit, 4);
}

// Catches a missing template being reported as a shown dialog.
TEST(DialogCreation, MissingTemplateFails) {
    CDialog dlg(12345);
    EXPECT_EQ(dlg.DoModal(), -1);
}

}  // namespace
