#include "viewer/RecordDialog.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

CRecordDialog::CRecordDialog(QWidget* pParent)
    : QFileDialog(pParent, QStringLiteral("Record"),
                  QDir::current().filePath(QStringLiteral("run.raw")),
                  QStringLiteral("Recordings (*.raw)")),
      m_pEvery(new QDoubleSpinBox(this)),
      m_pAverage(new QSpinBox(this)) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    selectFile(QStringLiteral("run.raw"));
    m_pEvery->setRange(0, kLongestInterval);
    m_pEvery->setDecimals(3);
    m_pEvery->setSuffix(QStringLiteral(" s"));
    m_pEvery->setSpecialValueText(QStringLiteral("off (every frame)"));
    m_pEvery->setToolTip(QStringLiteral("Time-lapse: one time point every so many seconds"));
    m_pAverage->setRange(1, int(kMostAveragedFrames));
    m_pAverage->setSpecialValueText(QStringLiteral("off"));
    m_pAverage->setToolTip(QStringLiteral(
        "Store the mean of this many frames read in a row, rounded to the nearest level"));
    // The dialog drawn by Qt itself lays its rows out on a grid: the plan goes below them.
    if (auto* pGrid = qobject_cast<QGridLayout*>(layout())) {
        const int row = pGrid->rowCount();
        pGrid->addWidget(new QLabel(QStringLiteral("Every:"), this), row, 0);
        pGrid->addWidget(m_pEvery, row, 1);
        pGrid->addWidget(new QLabel(QStringLiteral("Average of:"), this), row + 1, 0);
        pGrid->addWidget(m_pAverage, row + 1, 1);
    }
}

RecordingPlan CRecordDialog::Plan() const {
    RecordingPlan plan;
    plan.every = m_pEvery->value();
    plan.average = unsigned(m_pAverage->value());
    return plan;
}
