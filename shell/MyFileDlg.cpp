#include "shell/MyFileDlg.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>

#include "platform/ui/DialogUnits.h"
#include "platform/ui/Resources.h"
#include "resources/Resource.h"
#include "shell/ShellResources.h"

CMyFileDlg::CMyFileDlg(bool bOpenFileDialog, const char* pszDefExt, const char* pszFileName,
                       unsigned dwFlags, const char* pszFilter, QWidget* pParentWnd)
    : CFileDialog(bOpenFileDialog, pszDefExt, pszFileName, dwFlags, pszFilter, pParentWnd) {
    InstallShellResources();
    m_dwFlags |= OFN_ENABLETEMPLATE;
    m_nTemplateID = IDD_FILEOPEN;
    m_strTitle = QStringLiteral("Save Bitmap");
}

bool CMyFileDlg::OnInitDialog() {
    QFileDialog* pDialog = GetDialog();
    pDialog->setWindowIcon(LoadIconResource(IDI_FILEDLG));
    auto* pLayout = qobject_cast<QGridLayout*>(pDialog->layout());
    const DialogTemplate* pTemplate = FindDialogTemplate(m_nTemplateID);
    if (pLayout == nullptr || pTemplate == nullptr) {
        return true;
    }
    // The picture control of the template, in a column right of the standard controls.
    for (const ControlTemplate& c : pTemplate->controls) {
        if (c.kind != ControlKind::Picture) {
            continue;
        }
        const CDialogUnits units(pDialog->font());
        auto* pPicture = new QLabel(pDialog);
        pPicture->setObjectName(QStringLiteral("picture"));
        pPicture->setPixmap(LoadBitmapResource(c.nImageID));
        pPicture->setAlignment(Qt::AlignCenter);
        pPicture->setFixedSize(units.MapX(c.cx), units.MapY(c.cy));
        pLayout->addWidget(pPicture, 0, pLayout->columnCount(), pLayout->rowCount(), 1,
                           Qt::AlignTop | Qt::AlignHCenter);
        pLayout->setColumnMinimumWidth(pLayout->columnCount() - 1,
                                       units.MapX(c.cx) + units.MapX(16));
    }
    return true;
}
