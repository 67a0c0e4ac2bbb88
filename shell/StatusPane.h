#pragma once

#include <QFrame>
#include <QString>

// One sunken text pane of the status bar. Text wider than the pane ends in an ellipsis,
// with the whole text as the pane's tool tip, rather than being cut off mid-word; a
// disabled pane shows no text.
class CStatusPane : public QFrame {
  public:
    explicit CStatusPane(QWidget* pParent);

    void SetText(const QString& text);
    // A tool tip shown whatever the width (empty: the whole text when it is cut short).
    void SetTip(const QString& tip);
    // The text as drawn at the pane's present width.
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* pEvent) override;
    void resizeEvent(QResizeEvent* pEvent) override;

  private:
    QRect TextRect() const;
    void UpdateToolTip();

    QString m_text;
    QString m_tip;
};
