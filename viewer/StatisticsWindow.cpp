#include "viewer/StatisticsWindow.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "viewer/FrameView.h"
#include "viewer/LevelPlot.h"
#include "viewer/ViewerCore.h"

namespace {

constexpr int kRefreshMs = 100;  // ten times a second at most
constexpr qint64 kRateWindowMs = 1000;
constexpr int kGap = 8;

const char* const kChannelNames[3] = {"Blue", "Green", "Red"};

QString Percent(double share) {
    return QString::number(share * 100.0, 'f', share > 0 && share < 0.001 ? 3 : 1) + "%";
}

}  // namespace

CStatisticsWindow::CStatisticsWindow(QWidget* pMain, CFrameView* pView, const CViewerCore* pCore)
    : QWidget(pMain, Qt::Tool),
      m_pMain(pMain),
      m_pView(pView),
      m_pCore(pCore),
      m_pPlot(new CLevelPlot(this)),
      m_pRaw(new QRadioButton(QStringLiteral("Raw samples"), this)),
      m_pCorrected(new QRadioButton(QStringLiteral("Corrected"), this)),
      m_pLogarithmic(new QCheckBox(QStringLiteral("Log counts"), this)),
      m_pFigures(new QLabel(this)) {
    setWindowTitle(QStringLiteral("Statistics"));
    m_pRaw->setChecked(true);
    m_pFigures->setTextFormat(Qt::RichText);
    m_pFigures->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* pChoices = new QHBoxLayout;
    pChoices->addWidget(m_pRaw);
    pChoices->addWidget(m_pCorrected);
    pChoices->addStretch();
    pChoices->addWidget(m_pLogarithmic);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pPlot, 1);
    pLayout->addLayout(pChoices);
    pLayout->addWidget(m_pFigures);
    connect(m_pLogarithmic, &QCheckBox::toggled, this,
            [this](bool bOn) { m_pPlot->SetLogarithmic(bOn); });
    connect(m_pRaw, &QRadioButton::toggled, this, [this] { Refresh(); });
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { Refresh(); });
    m_clock.start();
}

void CStatisticsWindow::ShowBesideMain() {
    show();
    if (m_pMain) {
        adjustSize();
        move(PlaceBeside(
            m_pMain->frameGeometry(), frameGeometry().size(),
            m_pMain->screen() != nullptr ? m_pMain->screen()->availableGeometry() : QRect()));
    }
    raise();
}

QPoint CStatisticsWindow::PlaceBeside(const QRect& main, const QSize& size, const QRect& screen) {
    const QPoint right(main.right() + 1 + kGap, main.top());
    const QPoint left(main.left() - kGap - size.width(), main.top());
    const QPoint below(main.left(), main.bottom() + 1 + kGap);
    if (screen.isEmpty()) {
        return right;
    }
    for (const QPoint& at : {right, left, below}) {
        if (screen.contains(QRect(at, size))) {
            return at;
        }
    }
    // Nowhere whole: the side with the most room, pushed onto the screen as far as that goes
    // without covering the main window.
    const int roomRight = screen.right() - main.right();
    const int roomLeft = main.left() - screen.left();
    const int y = std::clamp(main.top(), screen.top(),
                             std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return roomRight >= roomLeft ? QPoint(right.x(), y)
                                 : QPoint(std::min(left.x(), main.left() - kGap - size.width()), y);
}

void CStatisticsWindow::showEvent(QShowEvent* pEvent) {
    QWidget::showEvent(pEvent);
    m_rateWindow.clear();
    Refresh();
    m_timer.start();
}

void CStatisticsWindow::hideEvent(QHideEvent* pEvent) {
    m_timer.stop();
    QWidget::hideEvent(pEvent);
}

void CStatisticsWindow::Refresh() {
    QString figures;
    const SensorSnapshot* pSensor =
        m_pView && m_pView->ShownFrame().bValid ? &m_pView->ShownFrame().sensor : nullptr;
    if (pSensor != nullptr && pSensor->IsValid()) {
        const LevelCounts counts =
            CountLevels(pSensor->raw.data(), pSensor->pDark ? pSensor->pDark->data() : nullptr,
                        pSensor->offset, pSensor->table, pSensor->bColor,
                        m_pRaw->isChecked() ? CountedSamples::kRaw : CountedSamples::kCorrected);
        m_pPlot->SetCounts(counts);
        figures = ChannelTable(counts);
    } else {
        m_pPlot->Clear();
        figures = QStringLiteral("<p>No frame on screen.</p>");
    }
    m_pFigures->setText(figures + AcquisitionText());
}

QString CStatisticsWindow::FiguresText() const {
    return m_pFigures->text();
}

QString CStatisticsWindow::ChannelTable(const LevelCounts& counts) const {
    QString html = QStringLiteral(
        "<table cellspacing=0 cellpadding=3><tr><th></th><th align=right>min</th>"
        "<th align=right>mean</th><th align=right>max</th><th align=right>std dev</th>"
        "<th align=right>at 0</th><th align=right>at 255</th></tr>");
    for (int row = 0; row < counts.channels; ++row) {
        const ChannelStatistics s = SummarizeLevels(counts.counts[row]);
        const QString name = counts.channels == 1 ? QStringLiteral("Level") : kChannelNames[row];
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
        // Three stages a line keeps the window narrow enough to sit beside the main one.
        const QString separator = stage == 0 ? "" : stage % 3 == 0 ? "<br>" : " &middot; ";
        html += QStringLiteral("%1%2 %3").arg(
            separator, name,
            ms < 0 ? QStringLiteral("&ndash;") : QString::number(ms, 'f', ms < 1 ? 3 : 1));
    }
    return html + QStringLiteral("</p>");
}
