#include "viewer/StatisticsWindow.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <utility>

#include "camera/CameraSource.h"
#include "sensor/LogPolarFrame.h"
#include "viewer/FrameView.h"
#include "viewer/LevelPlot.h"
#include "viewer/RegionSelection.h"
#include "viewer/ViewerCore.h"

namespace {

constexpr qint64 kRateWindowMs = 1000;

// Rows of LevelCounts (blue, green, red) in the order they are listed: red, green, blue.
constexpr int kListedRows[3] = {2, 1, 0};
const char* const kChannelNames[3] = {"Blue", "Green", "Red"};

const char* ValuesText(LevelValues values) {
    switch (values) {
        case LevelValues::kRaw:
            return "Raw samples";
        case LevelValues::kCorrected:
            return "Corrected levels";
        case LevelValues::kShown:
            return "Levels shown on screen";
    }
    return "";
}

// A source that hands frames out at its own pace makes the read stage a wait for it: every
// source but one told to run as fast as it can (fps=0). An unknown one is a camera.
bool IsPacedSource(const std::string& source) {
    CameraSourceChoice choice;
    std::string error;
    if (!ParseCameraSource(source, &choice, &error)) {
        return true;
    }
    return choice.kind != CameraSourceKind::kNone &&
           (choice.faults.framesPerSecond > 0 ||
            (choice.kind == CameraSourceKind::kReplay && !choice.framesPerSecondGiven));
}

QString Percent(double share) {
    return QString::number(share * 100.0, 'f', share > 0 && share < 0.001 ? 3 : 1) + "%";
}

}  // namespace

CStatisticsWindow::CStatisticsWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore,
                                     CRegionSelection* pRegion)
    : CToolWindow(pMain, QStringLiteral("Statistics"), {Side::kRight, Side::kLeft, Side::kBelow}),
      m_pView(pView),
      m_pCore(pCore),
      m_pPlot(new CLevelPlot(this)),
      m_pRaw(new QRadioButton(QStringLiteral("Raw samples"), this)),
      m_pCorrected(new QRadioButton(QStringLiteral("Corrected"), this)),
      m_pShown(new QRadioButton(QStringLiteral("Shown"), this)),
      m_pLogarithmic(new QCheckBox(QStringLiteral("Log counts"), this)),
      m_pChannels{new QCheckBox(QStringLiteral("R"), this),
                  new QCheckBox(QStringLiteral("G"), this),
                  new QCheckBox(QStringLiteral("B"), this)},
      m_pRegion(pRegion),
      m_pFigures(new QLabel(this)) {
    m_pRaw->setChecked(true);
    m_pFigures->setTextFormat(Qt::RichText);
    m_pFigures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* pChoices = new QHBoxLayout;
    pChoices->addWidget(m_pRaw);
    pChoices->addWidget(m_pCorrected);
    pChoices->addWidget(m_pShown);
    pChoices->addStretch();
    auto* pChannels = new QHBoxLayout;
    pChannels->addStretch();
    for (int k = 0; k < 3; ++k) {
        m_pChannels[k]->setChecked(true);
        m_pChannels[k]->setToolTip(QStringLiteral("Show this channel's curve"));
        pChannels->addWidget(m_pChannels[k]);
        connect(m_pChannels[k], &QCheckBox::toggled, this,
                [this, k](bool bOn) { m_pPlot->SetChannelShown(kListedRows[k], bOn); });
    }
    pChoices->addWidget(m_pLogarithmic);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addLayout(pChannels);
    pLayout->addLayout(pChoices);
    pLayout->addLayout(MakeRegionFields());
    pLayout->addWidget(m_pFigures);
    connect(m_pLogarithmic, &QCheckBox::toggled, this,
            [this](bool bOn) { m_pPlot->SetLogarithmic(bOn); });
    for (QRadioButton* pChoice : {m_pRaw, m_pCorrected, m_pShown}) {
        connect(pChoice, &QRadioButton::toggled, this, [this](bool bOn) {
            if (bOn) {
                Refresh();
            }
        });
    }
    m_clock.start();
}

QLayout* CStatisticsWindow::MakeRegionFields() {
    auto* pRow = new QHBoxLayout;
    m_pRegionOn = new QCheckBox(QStringLiteral("Region"), this);
    m_pRegionOn->setToolTip(
        QStringLiteral("Measure a ring band and sector range beside the "
                       "whole frame (or Shift+drag on the picture)"));
    pRow->setSpacing(4);
    pRow->addWidget(m_pRegionOn);
    const int limits[4] = {kRings - 1, kRings - 1, kSectors - 1, kSectors - 1};
    const char* const between[4] = {"rings", "–", "sectors", "–"};
    for (int k = 0; k < 4; ++k) {
        if (*between[k] != '\0') {
            pRow->addWidget(new QLabel(QString::fromUtf8(between[k]), this));
        }
        m_pRegionFields[k] = new QSpinBox(this);
        m_pRegionFields[k]->setRange(0, limits[k]);
        // Three digits need no more room; the window stays narrow enough to sit beside.
        m_pRegionFields[k]->setMaximumWidth(
            m_pRegionFields[k]->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 28);
        pRow->addWidget(m_pRegionFields[k]);
        connect(m_pRegionFields[k], &QSpinBox::valueChanged, this,
                [this] { TakeRegionFromFields(); });
    }
    pRow->addStretch();
    const SampleRegion whole;
    m_pRegionFields[0]->setValue(60);
    m_pRegionFields[1]->setValue(whole.lastRing);
    m_pRegionFields[2]->setValue(0);
    m_pRegionFields[3]->setValue(62);
    connect(m_pRegionOn, &QCheckBox::toggled, this, [this] { TakeRegionFromFields(); });
    if (m_pRegion) {
        m_pRegion->AddListener([this] {
            ShowRegionInFields();
            if (isVisible()) {
                Refresh();
            }
        });
    } else {
        m_pRegionOn->setEnabled(false);
    }
    return pRow;
}

void CStatisticsWindow::ShowRegionInFields() {
    const std::optional<SampleRegion>& region = m_pRegion->Region();
    m_bShowingRegion = true;
    m_pRegionOn->setChecked(region.has_value());
    if (region) {
        m_pRegionFields[0]->setValue(region->firstRing);
        m_pRegionFields[1]->setValue(region->lastRing);
        m_pRegionFields[2]->setValue(region->firstSector);
        m_pRegionFields[3]->setValue(region->lastSector);
    }
    m_bShowingRegion = false;
}

void CStatisticsWindow::TakeRegionFromFields() {
    if (m_bShowingRegion || !m_pRegion) {
        return;
    }
    if (!m_pRegionOn->isChecked()) {
        m_pRegion->SetRegion(std::nullopt);
        return;
    }
    SampleRegion region;
    region.firstRing = m_pRegionFields[0]->value();
    region.lastRing = m_pRegionFields[1]->value();
    region.firstSector = m_pRegionFields[2]->value();
    region.lastSector = m_pRegionFields[3]->value();
    if (region.firstRing > region.lastRing) {
        std::swap(region.firstRing, region.lastRing);
    }
    m_pRegion->SetRegion(region);
}

LevelValues CStatisticsWindow::Values() const {
    return m_pShown->isChecked()       ? LevelValues::kShown
           : m_pCorrected->isChecked() ? LevelValues::kCorrected
                                       : LevelValues::kRaw;
}

void CStatisticsWindow::Refresh() {
    QString figures;
    const SensorSnapshot* pSensor =
        m_pView && m_pView->ShownFrame().bValid ? &m_pView->ShownFrame().sensor : nullptr;
    const bool bColor = pSensor != nullptr && pSensor->IsValid() && pSensor->bColor;
    for (QCheckBox* pChannel : m_pChannels) {
        pChannel->setVisible(bColor);
    }
    if (pSensor != nullptr && pSensor->IsValid()) {
        const FrameSamples frame{pSensor->raw.data(),
                                 pSensor->pDark ? pSensor->pDark->data() : nullptr, pSensor->offset,
                                 &pSensor->table, pSensor->bColor};
        const LevelCounts counts = CountSampleLevels(frame, Values());
        m_pPlot->SetCounts(counts);
        std::optional<LevelCounts> region;
        if (m_pRegion && m_pRegion->Region()) {
            region = CountSampleLevels(frame, Values(), *m_pRegion->Region());
        }
        figures = QStringLiteral("<p>%1 of the sensor's pixels%2</p>")
                      .arg(QString::fromLatin1(ValuesText(Values())),
                           region ? QStringLiteral("<br>Region: ") +
                                        QString::fromStdString(m_pRegion->Region()->Describe())
                                  : QString()) +
                  ChannelTable(counts, region ? &*region : nullptr);
    } else {
        m_pPlot->Clear();
        figures = QStringLiteral("<p>No frame on screen.</p>");
    }
    m_pFigures->setText(figures + AcquisitionText());
}

QString CStatisticsWindow::FiguresText() const {
    return m_pFigures->text();
}

QString CStatisticsWindow::ChannelTable(const LevelCounts& counts,
                                        const LevelCounts* pRegion) const {
    QString html = QStringLiteral(
        "<table cellspacing=0 cellpadding=3><tr><th></th><th align=right>min</th>"
        "<th align=right>mean</th><th align=right>max</th><th align=right>std dev</th>"
        "<th align=right>at 0</th><th align=right>at 255</th></tr>");
    for (int k = 0; k < counts.channels * (pRegion != nullptr ? 2 : 1); ++k) {
        const bool bRegion = k >= counts.channels;
        const int row = counts.channels == 1 ? 0 : kListedRows[k % counts.channels];
        const ChannelStatistics s =
            SummarizeLevels(bRegion ? pRegion->counts[row] : counts.counts[row]);
        QString name = counts.channels == 1 ? QStringLiteral("Level") : kChannelNames[row];
        if (bRegion) {
            name = QStringLiteral("Region ") + (counts.channels == 1 ? QString() : name);
        }
        html += QStringLiteral(
                    "<tr><td>%1</td><td align=right>%2</td><td align=right>%3</td>"
                    "<td align=right>%4</td><td align=right>%5</td><td align=right>%6</td>"
                    "<td align=right>%7</td></tr>")
                    .arg(name)
                    .arg(s.minimum)
                    .arg(s.mean, 0, 'f', 1)
                    .arg(s.maximum)
                    .arg(s.spread, 0, 'f', 1)
                    .arg(Percent(s.clippedLow))
                    .arg(Percent(s.clippedHigh));
    }
    return html + QStringLiteral("</table>");
}

QString CStatisticsWindow::AcquisitionText() {
    if (m_pCore == nullptr) {
        return {};
    }
    const qint64 now = m_clock.elapsed();
    const int frames = m_pCore->FramesDone();
    m_rateWindow.emplace_back(now, frames);
    while (m_rateWindow.size() > 2 && now - m_rateWindow.front().first > kRateWindowMs) {
        m_rateWindow.pop_front();
    }
    const qint64 span = now - m_rateWindow.front().first;
    const int gained = frames - m_rateWindow.front().second;
    const bool bRunning = m_pCore->IsRunning() == 1;
    const QString rate = bRunning && span > 0 && gained >= 0
                             ? QString::number(gained * 1000.0 / span, 'f', 1) + " fps"
                             : QStringLiteral("stopped");
    QString html = QStringLiteral(
                       "<p>Frame rate %1 &middot; frames acquired %2 &middot; failed "
                       "reads %3</p><p>Median time per stage (ms):<br>")
                       .arg(rate)
                       .arg(frames)
                       .arg(m_pCore->FailedReads());
    const CStageTimes& times = m_pCore->StageTimes();
    for (int stage = 0; stage < kFrameStages; ++stage) {
        const double ms = times.MedianMilliseconds(FrameStage(stage));
        QString name = StageName(FrameStage(stage));
        if (FrameStage(stage) == FrameStage::kCorrect && m_pCore->IsColorProcessor()) {
            name = QStringLiteral("correct + colour");
        }
        if (FrameStage(stage) == FrameStage::kRead && IsPacedSource(m_pCore->SourceDescription())) {
            name = QStringLiteral("read (waiting for camera)");
        }
        // Three stages a line keeps the window narrow enough to sit beside the main one.
        const QString separator = stage == 0 ? "" : stage % 3 == 0 ? "<br>" : " &middot; ";
        html += QStringLiteral("%1%2 %3").arg(
            separator, name,
            ms < 0 ? QStringLiteral("&ndash;") : QString::number(ms, 'f', ms < 1 ? 3 : 1));
    }
    return html + QStringLiteral("</p>");
}
