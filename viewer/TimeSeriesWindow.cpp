#include "viewer/TimeSeriesWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "viewer/FrameView.h"
#include "viewer/RegionSelection.h"
#include "viewer/ViewerCore.h"

namespace {

struct SpanChoice {
    const char* label;
    int seconds;
};
constexpr SpanChoice kSpans[] = {{"10 s", 10},   {"30 s", 30},   {"1 min", 60},
                                 {"2 min", 120}, {"5 min", 300}, {"10 min", 600}};
constexpr int kDefaultSpan = 2;

}  // namespace

CTimeSeriesWindow::CTimeSeriesWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore,
                                     CRegionSelection* pRegion)
    // Below the main window or left of it: the Statistics window takes its right.
    : CToolWindow(pMain, QStringLiteral("Time Series"), {Side::kBelow, Side::kLeft}),
      m_pView(pView),
      m_pCore(pCore),
      m_pRegion(pRegion),
      m_pPlot(new CSeriesPlot(m_series, this)),
      m_pSpan(new QComboBox(this)),
      m_pValues(new QComboBox(this)),
      m_pRate(new QLabel(this)) {
    for (const SpanChoice& span : kSpans) {
        m_pSpan->addItem(QString::fromLatin1(span.label), span.seconds);
    }
    m_pSpan->setCurrentIndex(kDefaultSpan);
    for (LevelValues values : {LevelValues::kRaw, LevelValues::kCorrected, LevelValues::kShown}) {
        m_pValues->addItem(QString::fromLatin1(LevelValuesName(values)), int(values));
    }
    auto* pCopy = new QPushButton(QStringLiteral("&Copy"), this);
    auto* pSave = new QPushButton(QStringLiteral("&Save CSV..."), this);
    auto* pClear = new QPushButton(QStringLiteral("C&lear"), this);
    auto* pControls = new QHBoxLayout;
    pControls->addWidget(new QLabel(QStringLiteral("Last"), this));
    pControls->addWidget(m_pSpan);
    pControls->addWidget(new QLabel(QStringLiteral("Levels"), this));
    pControls->addWidget(m_pValues);
    pControls->addStretch();
    pControls->addWidget(m_pRate);
    auto* pButtons = new QHBoxLayout;
    pButtons->addWidget(
        new QLabel(QStringLiteral("Mean level \u00b7 solid: frame \u00b7 dashed: region"), this));
    pButtons->addStretch();
    pButtons->addWidget(pClear);
    pButtons->addWidget(pCopy);
    pButtons->addWidget(pSave);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addLayout(pControls);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addLayout(pButtons);
    connect(m_pSpan, &QComboBox::currentIndexChanged, this, [this] {
        m_pPlot->SetSpan(SpanUs());
        m_pPlot->update();
    });
    connect(m_pValues, &QComboBox::currentIndexChanged, this, [this] { Restart(); });
    connect(pClear, &QPushButton::clicked, this, [this] { Restart(); });
    connect(pCopy, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(QString::fromStdString(m_series.Csv())); });
    connect(pSave, &QPushButton::clicked, this, [this] { AskAndSave(); });
    if (m_pRegion) {
        m_pRegion->AddListener([this] { Restart(); });
    }
    m_pPlot->SetSpan(SpanUs());
    m_clock.start();
}

std::int64_t CTimeSeriesWindow::SpanUs() const {
    return std::int64_t(m_pSpan->currentData().toInt()) * 1'000'000;
}

LevelValues CTimeSeriesWindow::Values() const {
    return LevelValues(m_pValues->currentData().toInt());
}

void CTimeSeriesWindow::Restart() {
    m_series.Clear();
    m_nLastFrames = -1;
    m_clock.restart();
    m_pPlot->update();
}

void CTimeSeriesWindow::Sample() {
    ShowRate();
    if (!m_pView || !m_pView->ShownFrame().bValid || !m_pView->ShownFrame().sensor.IsValid()) {
        return;
    }
    // The frame count moves with each frame acquired; unchanged, the screen shows no new one.
    const int frames = m_pCore != nullptr ? m_pCore->FramesDone() : 0;
    if (frames == m_nLastFrames) {
        return;
    }
    m_nLastFrames = frames;
    const SensorSnapshot& sensor = m_pView->ShownFrame().sensor;
    const FrameSamples frame{sensor.raw.data(), sensor.pDark ? sensor.pDark->data() : nullptr,
                             sensor.offset, &sensor.table, sensor.bColor};
    const std::optional<SampleRegion> region =
        m_pRegion ? m_pRegion->Region() : std::optional<SampleRegion>();
    const LevelCounts whole = CountSampleLevels(frame, Values());
    m_series.Start(whole.channels, region.has_value());
    SeriesPoint point;
    point.index = std::uint64_t(frames);
    point.timeUs = m_clock.nsecsElapsed() / 1000;
    point.whole = SeriesMeans(whole);
    if (region) {
        point.region = SeriesMeans(CountSampleLevels(frame, Values(), *region));
    }
    m_series.Add(point);
    // Ten minutes is the longest span offered: older points are kept no longer.
    m_series.Trim(std::int64_t(kSpans[std::size(kSpans) - 1].seconds) * 1'000'000);
    m_pPlot->update();
}

void CTimeSeriesWindow::ShowRate() {
    const auto& points = m_series.Points();
    QString text = QStringLiteral("stopped");
    if (m_pCore != nullptr && m_pCore->IsRunning() == 1) {
        text = QStringLiteral("\u2013 fps");
        // Frames acquired over the last second or so of samples.
        auto from = std::find_if(points.begin(), points.end(), [&](const SeriesPoint& point) {
            return points.back().timeUs - point.timeUs <= 1'500'000;
        });
        if (from != points.end() && points.back().timeUs > from->timeUs) {
            const double rate = double(points.back().index - from->index) * 1e6 /
                                double(points.back().timeUs - from->timeUs);
            text = QStringLiteral("%1 fps").arg(rate, 0, 'f', 1);
        }
    }
    m_pRate->setText(text);
}

bool CTimeSeriesWindow::SaveCsv(const QString& path, QString* error) const {
    QSaveFile file(path);
    const std::string text = m_series.Csv();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

void CTimeSeriesWindow::AskAndSave() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Save CSV"), QStringLiteral("series.csv"),
        QStringLiteral("CSV files (*.csv)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    if (!SaveCsv(path, &error)) {
        QMessageBox::warning(this, QStringLiteral("Time Series"), error);
    }
}
