#pragma once

#include <QString>

#include "platform/ui/Dialog.h"

// The Settings dialog: port address, gain, offset and sensor type, with a filter threshold,
// a number of circles and two further values. One object serves every showing, so the
// dialog reopens with what it last held. After IDOK the caller reads the parsed integers
// and m_bColor.
class CSettingsDlg : public CDialog {
  public:
    explicit CSettingsDlg(QWidget* pParentWnd = nullptr);

    QString m_strPortAddress = QStringLiteral("0x378");
    QString m_strGain = QStringLiteral("3");
    QString m_strOffset = QStringLiteral("80");
    int m_nCircles = 152;
    int m_nFilterThreshold = 0;
    QString m_strAux1 = QStringLiteral("320");
    QString m_strAux2 = QStringLiteral("320");
    int m_bColor = 0;  // 1 = colour sensor, 0 = black and white
    // Parsed from the texts at each exchange; a text that does not parse leaves its value.
    // They start as the values of the default texts.
    unsigned m_nPortAddress = 0x378;
    int m_nGain = 3;
    int m_nOffset = 80;
    int m_nAux1 = 320;
    int m_nAux2 = 320;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;

  private:
    void OnColor();
    void OnBw();
};
