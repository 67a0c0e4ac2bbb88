#pragma once

#include <QFont>
#include <QRect>

// Dialog units of a font: x units are a quarter of the average letter width, y units an
// eighth of the line height, as dialog templates are laid out.
class CDialogUnits {
  public:
    explicit CDialogUnits(const QFont& font);

    QRect MapDialogRect(const QRect& rcDialogUnits) const;
    int MapX(int nDialogUnits) const { return nDialogUnits * m_nBaseX / 4; }
    int MapY(int nDialogUnits) const { return nDialogUnits * m_nBaseY / 8; }

    int m_nBaseX;
    int m_nBaseY;
};
