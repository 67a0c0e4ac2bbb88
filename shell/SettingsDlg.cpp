#include "shell/SettingsDlg.h"

#include <QRadioButton>
#include <cstdio>

#include "platform/ui/DataExchange.h"
#include "resources/Resource.h"
#include "shell/ShellResources.h"

namespace {

// The runtime library's scan of one value; a text that does not match leaves it unchanged.
void Scan(const QString& text, const char* pszFormat, unsigned& value) {
    std::sscanf(text.toLatin1().constData(), pszFormat, &value);
}

void Scan(const QString& text, const char* pszFormat, int& value) {
    std::sscanf(text.toLatin1().constData(), pszFormat, &value);
}

}  // namespace

CSettingsDlg::CSettingsDlg(QWidget* pParentWnd) : CDialog(IDD_SETTINGS, pParentWnd) {
    InstallShellResources();
    ON_COMMAND(IDC_COLOR, &CSettingsDlg::OnColor);
    ON_COMMAND(IDC_BW, &CSettingsDlg::OnBw);
}

void CSettingsDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_PORT_ADDRESS, m_strPortAddress);
    DDV_MaxChars(pDX, m_strPortAddress, 5);
    DDX_Text(pDX, IDC_GAIN, m_strGain);
    DDV_MaxChars(pDX, m_strGain, 3);
    DDX_Text(pDX, IDC_OFFSET, m_strOffset);
    DDV_MaxChars(pDX, m_strOffset, 5);
    DDX_Text(pDX, IDC_CIRCLES, m_nCircles);
    DDV_MinMaxInt(pDX, m_nCircles, 1, 152);
    DDX_Text(pDX, IDC_FILTER_THRESHOLD, m_nFilterThreshold);
    DDV_MinMaxInt(pDX, m_nFilterThreshold, 0, 100000);
    DDX_Text(pDX, IDC_AUX1, m_strAux1);
    DDX_Text(pDX, IDC_AUX2, m_strAux2);
    if (pDX->Failed()) {
        return;
    }
    Scan(m_strPortAddress, "0x%x", m_nPortAddress);
    Scan(m_strGain, "%d", m_nGain);
    Scan(m_strOffset, "%d", m_nOffset);
    Scan(m_strAux1, "%d", m_nAux1);
    Scan(m_strAux2, "%d", m_nAux2);
}

bool CSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    const int nChecked = m_bColor == 1 ? IDC_COLOR : m_bColor == 0 ? IDC_BW : 0;
    if (auto* pRadio = qobject_cast<QRadioButton*>(GetDlgItem(nChecked))) {
        pRadio->setChecked(true);
    }
    return true;
}

void CSettingsDlg::OnColor() {
    m_bColor = 1;
}

void CSettingsDlg::OnBw() {
    m_bColor = 0;
}
