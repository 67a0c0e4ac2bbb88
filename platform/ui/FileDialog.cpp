#include "platform/ui/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "platform/ui/MessageBox.h"
#include "platform/ui/WinApp.h"

namespace {

// A name with wildcards (the initial "*.bmp", say) is a pattern, never a file to write:
// Save then leaves the dialog open.
class CPatternAwareFileDialog : public QFileDialog {
  public:
    using QFileDialog::QFileDialog;

    void accept() override {
        const QStringList files = selectedFiles();
        for (const QString& file : files) {
            const QString name = QFileInfo(file).fileName();
            if (name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'))) {
                return;
            }
        }
        QFileDialog::accept();
    }
};

}  // namespace

CFileDialog::CFileDialog(bool bOpenFileDialog, const char* pszDefExt, const char* pszFileName,
                         unsigned dwFlags, const char* pszFilter, QWidget* pParentWnd)
    : m_dwFlags(dwFlags),
      m_bOpenFileDialog(bOpenFileDialog),
      m_strDefExt(QString::fromLatin1(pszDefExt != nullptr ? pszDefExt : "")),
      m_strInitialName(QString::fromLatin1(pszFileName != nullptr ? pszFileName : "")),
      m_strFilter(QString::fromLatin1(pszFilter != nullptr ? pszFilter : "")),
      m_pParentWnd(pParentWnd) {}

int CFileDialog::DoModal() {
    QWidget* pParent = m_pParentWnd != nullptr ? m_pParentWnd : AfxGetMainWindow();
    CPatternAwareFileDialog dialog(pParent);
    m_pDialog = &dialog;
    // The toolkit's own dialog, so that the program's part can be laid into it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(m_dwFlags & OFN_OVERWRITEPROMPT));
    dialog.setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpenFileDialog ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDirectory(QDir::currentPath());
    if (!m_strTitle.isEmpty()) {
        dialog.setWindowTitle(m_strTitle);
    }
    if (!m_strDefExt.isEmpty()) {
        dialog.setDefaultSuffix(m_strDefExt);
    }
    const QStringList filters = ParseFilter(m_strFilter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    if (filters.size() > 1) {
        // A name typed without an extension takes the one of the filter chosen.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog](const QString& filter) {
                             const qsizetype star = filter.indexOf(QLatin1String("*."));
                             const qsizetype end = filter.indexOf(QLatin1Char(')'), star);
                             if (star >= 0 && end > star) {
                                 dialog.setDefaultSuffix(filter.mid(star + 2, end - star - 2));
                             }
                         });
    }
    if (!m_strInitialName.isEmpty()) {
        dialog.selectFile(m_strInitialName);
    }
    OnInitDialog();
    const bool bAccepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    m_pDialog = nullptr;
    if (!bAccepted) {
        return IDCANCEL;
    }
    m_strFileName = QDir::toNativeSeparators(dialog.selectedFiles().first());
    return IDOK;
}

bool CFileDialog::OnInitDialog() {
    return true;
}

QStringList ParseFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        // The toolkit reads the patterns from the parentheses of the description.
        const QString& description = parts[i];
        descriptions << (description.contains(QLatin1Char('('))
                             ? description
                             : QStringLiteral("%1 (%2)").arg(description, parts[i + 1]));
    }
    return descriptions;
}
