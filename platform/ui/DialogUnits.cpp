#include "platform/ui/DialogUnits.h"

#include <QFontMetrics>

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int nLetters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Rounded average over the 52 letters.
    m_nBaseX = (nLetters / 26 + 1) / 2;
    m_nBaseY = metrics.height();
}

QRect CDialogUnits::MapDialogRect(const QRect& rc) const {
    return QRect(MapX(rc.x()), MapY(rc.y()), MapX(rc.width()), MapY(rc.height()));
}
