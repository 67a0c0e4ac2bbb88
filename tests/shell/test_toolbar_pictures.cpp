// The toolbar's pictures: a sharp form for screens of twice the density, and pictures that
// stand out from the button face on light and dark palettes alike.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPalette>
#include <QToolBar>
#include <QWidget>
#include <cmath>
#include <ostream>
#include <string>

#include "platform/ui/Resources.h"
#include "resources/Resource.h"
#include "shell/FrameToolBar.h"
#include "shell/ShellResources.h"
#include "shell/ToolBarOwner.h"

namespace {

const unsigned kButtons[] = {ID_FILE_SAVE, 0, ID_FILE_CALIBRATE, 0, ID_FILE_GRAB, 0, ID_FILE_START};
const unsigned kStrips[] = {IDR_MAINFRAME, IDB_TOOLBAR_IDLE, IDB_TOOLBAR_RUNNING};

class COwner : public IToolBarOwner {
  public:
    QWidget* ToolBarParent() const override { return const_cast<QWidget*>(&m_parent); }
    QString ToolBarTip(unsigned) const override { return QString(); }
    void RunToolBarCommand(unsigned) override {}
    void ShowToolBarPrompt(unsigned) override {}

  private:
    QWidget m_parent;
};

QImage Argb(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double Luminance(QColor colour) {
    auto linear = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
           0.0722 * linear(colour.blueF());
}

double Contrast(QColor a, QColor b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Of the pixels that outline the picture against the face (opaque ones beside a transparent
// one or on the picture's edge), the share that reaches 3:1 contrast with the face: what the
// eye uses to find the shape.
double OutlineShareAboveThreeToOne(const QImage& picture, QColor face) {
    auto opaque = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < picture.width() && y < picture.height() &&
               qAlpha(picture.pixel(x, y)) >= 128;
    };
    int nOutline = 0;
    int nClear = 0;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            if (!opaque(x, y) ||
                (opaque(x - 1, y) && opaque(x + 1, y) && opaque(x, y - 1) && opaque(x, y + 1))) {
                continue;
            }
            ++nOutline;
            nClear += Contrast(QColor::fromRgb(picture.pixel(x, y)), face) >= 3.0 ? 1 : 0;
        }
    }
    return nOutline > 0 ? double(nClear) / nOutline : 0.0;
}

class ToolbarPictures : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallShellResources();
        ASSERT_TRUE(m_bar.Create(&m_owner, ID_VIEW_TOOLBAR));
        ASSERT_TRUE(m_bar.SetButtons(kButtons, 7));
    }
    QIcon IconOf(int nButton) const { return m_bar.GetButton(kButtons[2 * nButton])->icon(); }

    COwner m_owner;
    CFrameToolBar m_bar;
};

// Catches a toolbar that shows the 16-pixel pictures blown up (blurred) at scale factor 2
// instead of the strip drawn at twice the scale, or that cuts that strip wrongly.
TEST_F(ToolbarPictures, TwiceTheDensityUsesTheStripDrawnAtTwiceTheScale) {
    for (unsigned nStrip : kStrips) {
        ASSERT_TRUE(m_bar.LoadBitmap(nStrip));
        const QImage strip2x = Argb(LoadBitmapResource(nStrip, QStringLiteral("-2x")));
        ASSERT_EQ(strip2x.size(), QSize(128, 32)) << nStrip;
        for (int i = 0; i < 4; ++i) {
            const QPixmap shown = IconOf(i).pixmap(QSize(16, 16), 2.0);
            EXPECT_EQ(shown.deviceIndependentSize(), QSizeF(16, 16));
            EXPECT_EQ(Argb(shown), strip2x.copy(32 * i, 0, 32, 32)) << nStrip << " picture " << i;
            EXPECT_EQ(Argb(IconOf(i).pixmap(QSize(16, 16), 1.0)),
                      Argb(LoadBitmapResource(nStrip)).copy(16 * i, 0, 16, 16));
        }
    }
}

// Catches the dark palette's form (with its light halo, which would vanish on a light face)
// being shown on a light face: there the pictures are the strips' own.
TEST_F(ToolbarPictures, LightFaceShowsTheStripsAsDrawn) {
    QPalette palette = m_bar.GetSafeHwnd()->palette();
    palette.setColor(QPalette::Window, QColor(239, 239, 239));
    m_bar.GetSafeHwnd()->setPalette(palette);
    for (unsigned nStrip : kStrips) {
        ASSERT_TRUE(m_bar.LoadBitmap(nStrip));
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Argb(IconOf(i).pixmap(QSize(16, 16), 1.0)),
                      Argb(LoadBitmapResource(nStrip)).copy(16 * i, 0, 16, 16));
        }
    }
}

struct PaletteCase {
    const char* name;
    QColor face;
};

void PrintTo(const PaletteCase& c, std::ostream* os) {
    *os << c.name;
}

class ToolbarPicturesOnDarkFace : public ToolbarPictures,
                                  public ::testing::WithParamInterface<PaletteCase> {};

// Catches pictures whose black and navy edges vanish into a dark button face, at either
// scale, also when the palette turns dark after the pictures were loaded.
TEST_P(ToolbarPicturesOnDarkFace, EveryPictureStandsOutFromTheFace) {
    QPalette palette = m_bar.GetSafeHwnd()->palette();
    palette.setColor(QPalette::Window, GetParam().face);
    palette.setColor(QPalette::Button, GetParam().face);
    for (unsigned nStrip : kStrips) {
        ASSERT_TRUE(m_bar.LoadBitmap(nStrip));
        m_bar.GetSafeHwnd()->setPalette(palette);
        for (int i = 0; i < 4; ++i) {
            for (qreal ratio : {1.0, 2.0}) {
                const QImage picture = Argb(IconOf(i).pixmap(QSize(16, 16), ratio));
                EXPECT_GE(OutlineShareAboveThreeToOne(picture, GetParam().face), 0.9)
                    << "strip " << nStrip << " picture " << i << " at " << ratio << "x";
            }
        }
        m_bar.GetSafeHwnd()->setPalette(QPalette());
    }
}

INSTANTIATE_TEST_SUITE_P(Faces, ToolbarPicturesOnDarkFace,
                         ::testing::Values(PaletteCase{"DarkGrey", QColor(53, 53, 53)},
                                           PaletteCase{"Black", QColor(0, 0, 0)}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
