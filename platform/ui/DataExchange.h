#pragma once

#include <QString>

class CDialog;

// One data-exchange pass between a dialog's fields and its controls. In the save direction
// the first failing step shows the framework's validation message, puts the focus on its
// control and turns every later step into a no-op.
class CDataExchange {
  public:
    CDataExchange(CDialog* pDlgWnd, bool bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    bool Failed() const { return m_bFailed; }
    void Fail(const QString& message);

    const bool m_bSaveAndValidate;
    CDialog* const m_pDlgWnd;
    int m_nLastControl = 0;  // control of the step in progress, for the validation steps

  private:
    bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, int nIDC, QString& value);
// Decimal text: optional blanks, optional sign, digits, optional blanks; nothing else.
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
// Load direction: the edit's input limit; save direction: a check of the length.
void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int nMin, int nMax);
