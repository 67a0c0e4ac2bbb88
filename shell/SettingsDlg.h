#pragma once

#include <QString>

#include "platform/ui/Dialog.h"
#include "sensor/Defaults.h"

// The Settings dialog: port address, gain, offset and sensor type, with a filter threshold,
// a number of circles and two further values. One object serves every showing, so the
// dialog reopens with what it last held. After IDOK the caller reads the parsed integers
// and m_bColor.
class CSettingsDlg : public CDialog {
  public:
    explicit CSettingsDlg(QWidget* pParentWnd = nullptr);

    QString m_strPortAddress = QStringLiteral("0x") + QString::number(kDefaultPortAddress, 16);
    QString m_strGain = QString::number(kDefaultGain);
    QString m_strOffset = QString::number(kDefaultOffset);
    int m_nCircles = 152;
    int m_nFilterThreshold = 0;
    QString m_strAux1 = QString::number(kDefaultAux);
    QString m_strAux2 = QString::number(kDefaultAux);
    int m_bColor = 0;  // 1 = colour sensor, 0 = black and white
    // Parsed from the texts at each exchange; a text that does not parse leaves its value.
    // They start as the values of the default texts.
    unsigned m_nPortAddress = kDefaultPortAddress;
    int m_nGain = kDefaultGain;
    int m_nOffset = kDefaultOffset;
    int m_nAux1 = kDefaultAux;
    int m_nAux2 = kDefaultAux;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
    bool OnInitDialog() override;

  private:
    void OnColor();
    void OnBw();
};
