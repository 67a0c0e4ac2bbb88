#pragma once

#include <QFileDialog>

#include "recording/RecordingPlan.h"

class QDoubleSpinBox;
class QSpinBox;

// Tools > Record's file dialog, with the recording's plan below the file name: one time
// point every so many seconds (off: every frame) and the number of frames averaged into
// each stored frame (1: none). Both start off, so a recording stores every frame read.
class CRecordDialog : public QFileDialog {
  public:
    explicit CRecordDialog(QWidget* pParent);

    // The plan as the fields say; its frame count and time limit are none.
    RecordingPlan Plan() const;
    QDoubleSpinBox& EveryField() { return *m_pEvery; }
    QSpinBox& AverageField() { return *m_pAverage; }

  private:
    QDoubleSpinBox* m_pEvery;
    QSpinBox* m_pAverage;
};
