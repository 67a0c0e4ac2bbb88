#include "platform/ui/Resources.h"

#include <QFile>

namespace {

ResourceSet g_resources;

}  // namespace

void InstallResources(const ResourceSet& set) {
    g_resources = set;
}

bool LoadResString(unsigned nID, QString& str) {
    for (const StringResource& s : g_resources.strings) {
        if (s.nID == nID) {
            str = QString::fromLatin1(s.pszText);
            return true;
        }
    }
    return false;
}

QString ExtractSubString(const QString& str, int nField) {
    const QStringList fields = str.split(QLatin1Char('\n'));
    return nField < fields.size() ? fields[nField] : QString();
}

const DialogTemplate* FindDialogTemplate(unsigned nID) {
    for (const DialogTemplate& d : g_resources.dialogs) {
        if (d.nID == nID) {
            return &d;
        }
    }
    return nullptr;
}

const MenuTemplate* FindMenuTemplate(unsigned nID) {
    for (const MenuTemplate& m : g_resources.menus) {
        if (m.nID == nID) {
            return &m;
        }
    }
    return nullptr;
}

std::span<const AcceleratorTemplate> Accelerators() {
    return g_resources.accelerators;
}

QPixmap LoadBitmapResource(unsigned nID, const QString& form) {
    return QPixmap(QStringLiteral(":/res/bitmap%1%2.png").arg(nID).arg(form));
}

QIcon LoadIconResource(unsigned nID) {
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/res/icon%1-%2.png").arg(nID).arg(size);
        if (QFile::exists(path)) {
            icon.addFile(path, QSize(size, size));
        }
    }
    return icon;
}
