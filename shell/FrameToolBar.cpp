#include "shell/FrameToolBar.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <QToolBar>

#include "platform/ui/CmdUI.h"
#include "platform/ui/Resources.h"
#include "shell/ToolBarOwner.h"

namespace {

constexpr int kPictureSize = 16;

// Brings back the idle prompt when the pointer leaves the bar (fly-by prompts), and fits
// the pictures to a new palette.
class CBarWatcher : public QObject {
  public:
    CBarWatcher(QObject* pParent, IToolBarOwner* pOwner, CFrameToolBar* pBar)
        : QObject(pParent), m_pOwner(pOwner), m_pBar(pBar) {}

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        if (pEvent->type() == QEvent::Leave && (m_pBar->GetBarStyle() & CBRS_FLYBY)) {
            m_pOwner->ShowToolBarPrompt(0);
        } else if (pEvent->type() == QEvent::PaletteChange) {
            m_pBar->ApplyPictures();
        }
        return QObject::eventFilter(pWatched, pEvent);
    }

  private:
    IToolBarOwner* m_pOwner;
    CFrameToolBar* m_pBar;
};

// Picture nIndex of a strip drawn at the given scale, or a null pixmap.
QPixmap CutPicture(const QPixmap& strip, int nIndex, int scale) {
    const int cx = kPictureSize * scale;
    if (strip.isNull() || (nIndex + 1) * cx > strip.width()) {
        return QPixmap();
    }
    QPixmap picture = strip.copy(nIndex * cx, 0, cx, cx);
    picture.setDevicePixelRatio(scale);
    return picture;
}

bool IsDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

}  // namespace

CFrameToolBar::~CFrameToolBar() {
    delete m_pWnd.data();
}

bool CFrameToolBar::Create(IToolBarOwner* pOwner, unsigned nID) {
    if (pOwner == nullptr || pOwner->ToolBarParent() == nullptr || m_pWnd) {
        return false;
    }
    m_pOwner = pOwner;
    m_nID = nID;
    m_pWnd = new QToolBar(pOwner->ToolBarParent());
    m_pWnd->setObjectName(QStringLiteral("toolBar"));
    // Opaque: the picture below the bar must not show through it.
    m_pWnd->setAutoFillBackground(true);
    m_pWnd->setMovable(false);
    m_pWnd->setFloatable(false);
    m_pWnd->setIconSize(QSize(kPictureSize, kPictureSize));
    m_pWnd->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_pWnd->installEventFilter(new CBarWatcher(m_pWnd, pOwner, this));
    m_pWnd->resize(pOwner->ToolBarParent()->width(), GetHeight());
    m_pWnd->show();
    return true;
}

bool CFrameToolBar::LoadBitmap(unsigned nIDBitmap) {
    const QPixmap strip = LoadBitmapResource(nIDBitmap);
    if (strip.isNull()) {
        return false;
    }
    m_strip = strip;
    m_strip2x = LoadBitmapResource(nIDBitmap, QStringLiteral("-2x"));
    m_darkStrip = LoadBitmapResource(nIDBitmap, QStringLiteral("-dark"));
    m_darkStrip2x = LoadBitmapResource(nIDBitmap, QStringLiteral("-dark-2x"));
    ApplyPictures();
    return true;
}

bool CFrameToolBar::SetButtons(const unsigned* pIDs, int nCount) {
    if (!m_pWnd) {
        return false;
    }
    m_pWnd->clear();
    m_buttons.clear();
    for (int i = 0; i < nCount; ++i) {
        const unsigned nID = pIDs[i];
        if (nID == 0) {
            m_buttons.emplace_back(0, m_pWnd->addSeparator());
            continue;
        }
        QAction* pButton = m_pWnd->addAction(QString());
        pButton->setData(nID);
        const QString tip = m_pOwner->ToolBarTip(nID);
        pButton->setText(tip);
        pButton->setToolTip(tip);
        IToolBarOwner* pOwner = m_pOwner;
        QObject::connect(pButton, &QAction::triggered, m_pWnd,
                         [pOwner, nID] { pOwner->RunToolBarCommand(nID); });
        QObject::connect(pButton, &QAction::hovered, m_pWnd, [this, pOwner, nID] {
            if (m_dwStyle & CBRS_FLYBY) {
                pOwner->ShowToolBarPrompt(nID);
            }
        });
        m_buttons.emplace_back(nID, pButton);
    }
    ApplyPictures();
    return true;
}

QAction* CFrameToolBar::GetButton(unsigned nID) const {
    for (const auto& [nButtonID, pButton] : m_buttons) {
        if (nButtonID == nID && nID != 0) {
            return pButton;
        }
    }
    return nullptr;
}

unsigned CFrameToolBar::GetItemID(int nIndex) const {
    return nIndex >= 0 && nIndex < GetCount() ? m_buttons[nIndex].first : 0;
}

int CFrameToolBar::GetHeight() const {
    return m_pWnd ? m_pWnd->sizeHint().height() : 0;
}

void CFrameToolBar::OnIdleUpdateCmdUI(CCmdTarget* pTarget, bool bDisableIfNoHndler) {
    if (!IsWindowVisible()) {
        return;
    }
    for (const auto& [nID, pButton] : m_buttons) {
        if (nID == 0) {
            continue;
        }
        CActionCmdUI state(pButton, nID);
        state.DoUpdate(pTarget, bDisableIfNoHndler);
    }
}

void CFrameToolBar::ApplyPictures() {
    const bool bDark = m_pWnd && IsDark(m_pWnd->palette()) && !m_darkStrip.isNull();
    const QPixmap& strip = bDark ? m_darkStrip : m_strip;
    const QPixmap& strip2x = bDark ? m_darkStrip2x : m_strip2x;
    int nPicture = 0;
    for (const auto& [nID, pButton] : m_buttons) {
        if (nID == 0) {
            continue;
        }
        QIcon icon;
        for (const QPixmap& picture :
             {CutPicture(strip, nPicture, 1), CutPicture(strip2x, nPicture, 2)}) {
            if (!picture.isNull()) {
                icon.addPixmap(picture);
            }
        }
        pButton->setIcon(icon);
        ++nPicture;
    }
}
