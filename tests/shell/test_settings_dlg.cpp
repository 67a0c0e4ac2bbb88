#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "platform/ui/WinApp.h"
#include "resources/Resource.h"
#include "shell/SettingsDlg.h"
#include "tests/platform/ui/WidgetTest.h"

namespace {

QLineEdit* Edit(CSettingsDlg& dlg, int nID) {
    return qobject_cast<QLineEdit*>(dlg.GetDlgItem(nID));
}

void Click(CSettingsDlg& dlg, int nID) {
    qobject_cast<QAbstractButton*>(dlg.GetDlgItem(nID))->click();
}

class SettingsDialog : public ::testing::Test {
  protected:
    void SetUp() override { m_app.m_strAppName = QStringLiteral("Korvel sample"); }
    void TearDown() override { EXPECT_EQ(VisibleTopLevelCount(), 0); }

    // Shows the dialog, runs pfn while it is open (pfn must end it) and returns DoModal's
    // result.
    int Show(const std::function<void()>& pfn) {
        WhenModalOpens([&](QWidget*) { pfn(); });
        return m_dlg.DoModal();
    }
    void SetText(int nID, const char* pszText) {
        Edit(m_dlg, nID)->setText(QString::fromLatin1(pszText));
    }

    CWinApp m_app;
    CSettingsDlg m_dlg;
};

// Catches wrong defaults in the fields or the controls, a wrong initial radio, and OK at
// once not parsing the default texts.
TEST_F(SettingsDialog, FirstOpeningShowsDefaultsAndOkParsesThem) {
    QStringList texts;
    bool bBw = false, bColor = true;
    const int nResult = Show([&] {
        for (int nID : {IDC_PORT_ADDRESS, IDC_GAIN, IDC_OFFSET, IDC_FILTER_THRESHOLD, IDC_CIRCLES,
                        IDC_AUX1, IDC_AUX2}) {
            texts << Edit(m_dlg, nID)->text();
        }
        bBw = qobject_cast<QRadioButton*>(m_dlg.GetDlgItem(IDC_BW))->isChecked();
        bColor = qobject_cast<QRadioButton*>(m_dlg.GetDlgItem(IDC_COLOR))->isChecked();
        Click(m_dlg, IDOK);
    });
    EXPECT_EQ(texts, (QStringList{"0x378", "3", "80", "0", "152", "320", "320"}));
    EXPECT_TRUE(bBw);
    EXPECT_FALSE(bColor);
    EXPECT_EQ(nResult, IDOK);
    EXPECT_EQ(m_dlg.m_nPortAddress, 888u);
    EXPECT_EQ(m_dlg.m_nGain, 3);
    EXPECT_EQ(m_dlg.m_nOffset, 80);
    EXPECT_EQ(m_dlg.m_nAux1, 320);
    EXPECT_EQ(m_dlg.m_nAux2, 320);
    EXPECT_EQ(m_dlg.m_bColor, 0);
}

// Catches the wrong controls being disabled, the focus not starting on OK, a wrong caption
// and a tab order that does not follow the template.
TEST_F(SettingsDialog, DisabledEditsFocusAndTabOrder) {
    bool bCirclesOff = false, bAux1Off = false, bAux2Off = false, bFocusOnOk = false;
    QString caption;
    bool bOkThenCancel = false, bCancelThenPort = false;
    Show([&] {
        bCirclesOff = !m_dlg.GetDlgItem(IDC_CIRCLES)->isEnabled();
        bAux1Off = !m_dlg.GetDlgItem(IDC_AUX1)->isEnabled();
        bAux2Off = !m_dlg.GetDlgItem(IDC_AUX2)->isEnabled();
        bFocusOnOk = m_dlg.GetSafeHwnd()->focusWidget() == m_dlg.GetDlgItem(IDOK);
        caption = m_dlg.GetSafeHwnd()->windowTitle();
        bOkThenCancel = m_dlg.GetDlgItem(IDOK)->nextInFocusChain() == m_dlg.GetDlgItem(IDCANCEL);
        bCancelThenPort =
            m_dlg.GetDlgItem(IDCANCEL)->nextInFocusChain() == m_dlg.GetDlgItem(IDC_PORT_ADDRESS);
        Click(m_dlg, IDCANCEL);
    });
    EXPECT_TRUE(bCirclesOff && bAux1Off && bAux2Off);
    EXPECT_TRUE(bFocusOnOk);
    EXPECT_EQ(caption, QStringLiteral("Settings"));
    EXPECT_TRUE(bOkThenCancel);
    EXPECT_TRUE(bCancelThenPort);
}

struct ParseCase {
    int nID;
    const char* pszText;
    int nExpected;  // in the field the text parses into
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << "field " << c.nID << " " << ::testing::PrintToString(c.pszText);
}

class Parsing : public SettingsDialog, public ::testing::WithParamInterface<ParseCase> {};

// Catches parsing that is not the runtime scan: the port must start with "0x" in lower
// case, decimal fields stop at the first non-digit, and a mismatch keeps the old value.
TEST_P(Parsing, ScanFormats) {
    const ParseCase c = GetParam();
    const int nResult = Show([&] {
        SetText(c.nID, c.pszText);
        Click(m_dlg, IDOK);
    });
    EXPECT_EQ(nResult, IDOK);
    const int nValue = c.nID == IDC_PORT_ADDRESS ? static_cast<int>(m_dlg.m_nPortAddress)
                       : c.nID == IDC_GAIN       ? m_dlg.m_nGain
                                                 : m_dlg.m_nOffset;
    EXPECT_EQ(nValue, c.nExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Parsing,
    ::testing::Values(ParseCase{IDC_PORT_ADDRESS, "0x3bc", 956},
                      ParseCase{IDC_PORT_ADDRESS, "0x3BC", 956},
                      ParseCase{IDC_PORT_ADDRESS, "378", 888},
                      ParseCase{IDC_PORT_ADDRESS, "0X378", 888},
                      ParseCase{IDC_PORT_ADDRESS, "0xfff", 0xFFF}, ParseCase{IDC_GAIN, "12a", 12},
                      ParseCase{IDC_GAIN, "-5", -5}, ParseCase{IDC_GAIN, "abc", 3},
                      ParseCase{IDC_OFFSET, "99999", 99999}, ParseCase{IDC_OFFSET, " 7", 7}));

struct LimitCase {
    int nID;
    const char* pszTyped;
    const char* pszKept;
};

void PrintTo(const LimitCase& c, std::ostream* os) {
    *os << "field " << c.nID << " " << ::testing::PrintToString(c.pszTyped);
}

class InputLimits : public SettingsDialog, public ::testing::WithParamInterface<LimitCase> {};

// Catches edits that accept more characters than their limits (5, 3, 5).
TEST_P(InputLimits, ExtraCharactersCannotBeTyped) {
    const LimitCase c = GetParam();
    QString kept;
    Show([&] {
        QLineEdit* pEdit = Edit(m_dlg, c.nID);
        pEdit->clear();
        QTest::keyClicks(pEdit, QString::fromLatin1(c.pszTyped));
        kept = pEdit->text();
        Click(m_dlg, IDCANCEL);
    });
    EXPECT_EQ(kept, QString::fromLatin1(c.pszKept));
}

INSTANTIATE_TEST_SUITE_P(Cases, InputLimits,
                         ::testing::Values(LimitCase{IDC_PORT_ADDRESS, "0x3bcd", "0x3bc"},
                                           LimitCase{IDC_GAIN, "1234", "123"},
                                           LimitCase{IDC_OFFSET, "123456", "12345"}));

struct ThresholdCase {
    const char* pszText;
    bool bPasses;
};

void PrintTo(const ThresholdCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(c.pszText);
}

class Threshold : public SettingsDialog, public ::testing::WithParamInterface<ThresholdCase> {};

// Catches validation of the filter threshold: out of range or not a number must show the
// message captioned with the application title, keep the dialog open and focus the field.
TEST_P(Threshold, ValidatedOnOk) {
    const ThresholdCase c = GetParam();
    QString caption;
    bool bStillOpen = false, bFocused = false;
    const int nResult = Show([&] {
        SetText(IDC_FILTER_THRESHOLD, c.pszText);
        if (!c.bPasses) {
            AnswerNextMessageBox(&caption, nullptr);
        }
        Click(m_dlg, IDOK);
        if (!c.bPasses) {
            bStillOpen = m_dlg.GetSafeHwnd() != nullptr && m_dlg.GetSafeHwnd()->isVisible();
            bFocused = m_dlg.GetSafeHwnd()->focusWidget() == m_dlg.GetDlgItem(IDC_FILTER_THRESHOLD);
            Click(m_dlg, IDCANCEL);
        }
    });
    EXPECT_EQ(nResult, c.bPasses ? IDOK : IDCANCEL);
    if (!c.bPasses) {
        EXPECT_EQ(caption, QStringLiteral("Korvel sample"));
        EXPECT_TRUE(bStillOpen);
        EXPECT_TRUE(bFocused);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Threshold,
                         ::testing::Values(ThresholdCase{"100000", true}, ThresholdCase{"0", true},
                                           ThresholdCase{"100001", false},
                                           ThresholdCase{"-1", false},
                                           ThresholdCase{"many", false}));

// Catches the radio buttons acting only through the exchange, and the choice being lost
// between showings.
TEST_F(SettingsDialog, ColorActsAtOnceAndSurvivesCancel) {
    EXPECT_EQ(Show([&] {
                  Click(m_dlg, IDC_COLOR);
                  Click(m_dlg, IDCANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(m_dlg.m_bColor, 1);
    bool bColorShown = false;
    Show([&] {
        bColorShown = qobject_cast<QRadioButton*>(m_dlg.GetDlgItem(IDC_COLOR))->isChecked();
        Click(m_dlg, IDC_BW);
        Click(m_dlg, IDOK);
    });
    EXPECT_TRUE(bColorShown);
    EXPECT_EQ(m_dlg.m_bColor, 0);
}

// Catches a failed OK rolling back the fields exchanged before the failure, changing the
// parsed integers, or the texts not reappearing at the next opening.
TEST_F(SettingsDialog, FailedOkKeepsEarlierTextsForNextOpening) {
    Show([&] {
        SetText(IDC_PORT_ADDRESS, "0x3bc");
        SetText(IDC_GAIN, "7");
        SetText(IDC_FILTER_THRESHOLD, "200000");
        AnswerNextMessageBox(nullptr, nullptr);
        Click(m_dlg, IDOK);
        Click(m_dlg, IDCANCEL);
    });
    EXPECT_EQ(m_dlg.m_strPortAddress, QStringLiteral("0x3bc"));
    EXPECT_EQ(m_dlg.m_strGain, QStringLiteral("7"));
    EXPECT_EQ(m_dlg.m_nPortAddress, 888u);
    EXPECT_EQ(m_dlg.m_nGain, 3);
    QString port, gain;
    Show([&] {
        port = Edit(m_dlg, IDC_PORT_ADDRESS)->text();
        gain = Edit(m_dlg, IDC_GAIN)->text();
        Click(m_dlg, IDCANCEL);
    });
    EXPECT_EQ(port, QStringLiteral("0x3bc"));
    EXPECT_EQ(gain, QStringLiteral("7"));
}

// Catches Escape not cancelling the dialog.
TEST_F(SettingsDialog, EscapeCancels) {
    EXPECT_EQ(Show([&] { QTest::keyClick(m_dlg.GetSafeHwnd(), Qt::Key_Escape); }), IDCANCEL);
}

}  // namespace
