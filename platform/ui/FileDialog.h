#pragma once

#include <QString>

class QFileDialog;
class QWidget;

// Option flags of the file dialog, with the values the original system uses.
inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x0002;
inline constexpr unsigned OFN_HIDEREADONLY = 0x0004;
inline constexpr unsigned OFN_ENABLETEMPLATE = 0x0040;

// The toolkit's file dialog in open or save mode. The filter comes in the framework's form,
// description and pattern separated by vertical bars and ended by two bars
// ("Bitmap Files (*.bmp)|*.bmp||"); the chosen name comes back with its folder.
class CFileDialog {
  public:
    CFileDialog(bool bOpenFileDialog, const char* pszDefExt = nullptr,
                const char* pszFileName = nullptr, unsigned dwFlags = 0,
                const char* pszFilter = nullptr, QWidget* pParentWnd = nullptr);
    virtual ~CFileDialog() = default;

    // IDOK or IDCANCEL.
    int DoModal();
    // The chosen file, folder included.
    QString GetFileName() const { return m_strFileName; }
    QString GetPathName() const { return m_strFileName; }
    // The dialog while DoModal runs, else null.
    QFileDialog* GetDialog() const { return m_pDialog; }

    QString m_strTitle;
    unsigned m_dwFlags;
    unsigned m_nTemplateID = 0;  // with OFN_ENABLETEMPLATE: the program's own part

  protected:
    // Runs once the dialog is built, before it shows.
    virtual bool OnInitDialog();

  private:
    bool m_bOpenFileDialog;
    QString m_strDefExt;
    QString m_strInitialName;
    QString m_strFilter;
    QWidget* m_pParentWnd;
    QString m_strFileName;
    QFileDialog* m_pDialog = nullptr;
};

// The description parts of a framework-form filter, one per entry ("Bitmap Files (*.bmp)").
QStringList ParseFilter(const QString& filter);
