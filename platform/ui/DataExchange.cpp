#include "platform/ui/DataExchange.h"

#include <QLineEdit>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/ui/Dialog.h"

namespace {

QLineEdit* EditOf(CDataExchange* pDX, int nIDC) {
    pDX->m_nLastControl = nIDC;
    return qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(nIDC));
}

bool ParseDecimal(const QString& text, int& value) {
    const QByteArray bytes = text.toLatin1();
    const char* pBegin = bytes.constData();
    char* pEnd = nullptr;
    errno = 0;
    const long n = std::strtol(pBegin, &pEnd, 10);
    if (pEnd == pBegin || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
        return false;
    }
    while (*pEnd == ' ' || *pEnd == '\t') {
        ++pEnd;
    }
    if (*pEnd != '\0') {
        return false;
    }
    value = static_cast<int>(n);
    return true;
}

}  // namespace

void CDataExchange::Fail(const QString& message) {
    m_bFailed = true;
    AfxMessageBox(message, MB_ICONEXCLAMATION);
    if (QWidget* pControl = m_pDlgWnd->GetDlgItem(m_nLastControl)) {
        pControl->setFocus(Qt::OtherFocusReason);
        if (auto* pEdit = qobject_cast<QLineEdit*>(pControl)) {
            pEdit->selectAll();
        }
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, QString& value) {
    if (pDX->Failed()) {
        return;
    }
    QLineEdit* pEdit = EditOf(pDX, nIDC);
    if (pEdit == nullptr) {
        return;
    }
    if (pDX->m_bSaveAndValidate) {
        value = pEdit->text();
    } else {
        pEdit->setText(value);
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
    if (pDX->Failed()) {
        return;
    }
    QLineEdit* pEdit = EditOf(pDX, nIDC);
    if (pEdit == nullptr) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        pEdit->setText(QString::number(value));
    } else if (!ParseDecimal(pEdit->text(), value)) {
        pDX->Fail(QStringLiteral("Please enter an integer."));
    }
}

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars) {
    if (pDX->Failed()) {
        return;
    }
    if (!pDX->m_bSaveAndValidate) {
        if (auto* pEdit =
                qobject_cast<QLineEdit*>(pDX->m_pDlgWnd->GetDlgItem(pDX->m_nLastControl))) {
            pEdit->setMaxLength(nChars);
        }
    } else if (value.size() > nChars) {
        pDX->Fail(QStringLiteral("Please enter no more than %1 characters.").arg(nChars));
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int nMin, int nMax) {
    if (pDX->Failed() || !pDX->m_bSaveAndValidate) {
        return;
    }
    if (value < nMin || value > nMax) {
        pDX->Fail(QStringLiteral("Please enter an integer between %1 and %2.").arg(nMin).arg(nMax));
    }
}
