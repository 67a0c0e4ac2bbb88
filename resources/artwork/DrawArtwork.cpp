// Draws the program's pictures and icons and writes them as PNG files into the folder given
// on the command line. The files in resources/ come from this program; edit the drawing
// here and run resources/regenerate.sh rather than touching the PNGs.

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>

namespace {

constexpr int kRings = 152;
constexpr int kSectors = 252;
constexpr int kFoveaRings = 42;
constexpr double kPi = 3.14159265358979323846;

// The classic 16-colour palette the toolbar pictures keep to.
const QColor kBlack(0, 0, 0), kDarkGrey(128, 128, 128), kGrey(192, 192, 192), kWhite(255, 255, 255),
    kNavy(0, 0, 128), kBlue(0, 0, 255), kMaroon(128, 0, 0), kRed(255, 0, 0), kOlive(128, 128, 0),
    kYellow(255, 255, 0), kTeal(0, 128, 128), kGreen(0, 128, 0);

QImage NewImage(int cx, int cy, QColor fill) {
    QImage image(cx, cy, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

bool Save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "draw-artwork: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// --- toolbar pictures, 16 x 16 each, drawn pixel by pixel (in a grid of 16)
// ------------------------------

void DrawDisk(QPainter& p) {
    p.fillRect(1, 1, 14, 14, kNavy);
    p.fillRect(4, 1, 8, 6, kWhite);  // label
    p.fillRect(5, 2, 6, 1, kDarkGrey);
    p.fillRect(5, 4, 6, 1, kDarkGrey);
    p.fillRect(4, 9, 8, 6, kGrey);  // shutter
    p.fillRect(9, 10, 2, 4, kNavy);
    p.fillRect(1, 15, 15, 1, kBlack);
    p.fillRect(15, 1, 1, 15, kBlack);
    p.fillRect(1, 1, 1, 1, kBlack);
}

void DrawTools(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Wrench from top left (open jaw) to bottom right.
    p.save();
    p.translate(8, 8);
    p.rotate(-45);
    p.setBrush(kDarkGrey);
    p.drawRoundedRect(QRectF(-1.4, -3, 2.8, 10.5), 1, 1);
    p.drawEllipse(QPointF(0, -5), 3.4, 3.4);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawRect(QRectF(-1.1, -9.5, 2.2, 4.6));
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.restore();
    // Hammer from bottom left (wooden handle) to top right (iron head), across the wrench.
    p.save();
    p.translate(8, 8);
    p.rotate(45);
    p.setBrush(QColor(160, 96, 32));
    p.drawRoundedRect(QRectF(-1.2, -3, 2.4, 10.5), 0.8, 0.8);
    p.setBrush(kBlack);
    p.drawRect(QRectF(-4.8, -7.2, 9.6, 4.4));
    p.setBrush(kGrey);
    p.drawRect(QRectF(-3.8, -6.2, 7.6, 1.4));
    p.restore();
}

void DrawCamera(QPainter& p) {
    p.fillRect(1, 5, 14, 9, kBlack);
    p.fillRect(2, 6, 12, 7, kDarkGrey);
    p.fillRect(4, 3, 4, 2, kBlack);  // viewfinder
    p.fillRect(11, 4, 2, 1, kRed);   // shutter button
    p.fillRect(5, 6, 6, 7, kBlack);  // lens ring
    p.fillRect(6, 7, 4, 5, kNavy);
    p.fillRect(7, 8, 2, 2, kBlue);
    p.fillRect(7, 8, 1, 1, kWhite);
    p.fillRect(12, 7, 1, 1, kWhite);  // flash
}

void DrawFlag(QPainter& p) {
    p.fillRect(2, 1, 1, 15, kBlack);  // pole
    p.fillRect(3, 2, 12, 8, kBlack);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 6; ++x) {
            p.fillRect(3 + 2 * x, 2 + 2 * y, 2, 2, (x + y) % 2 ? kBlack : kWhite);
        }
    }
}

void DrawHand(QPainter& p) {
    const QColor skin(255, 204, 153), outline(128, 64, 0);
    // Four fingers, a thumb and the palm, outlined.
    const int fingerX[] = {4, 6, 8, 10};
    const int fingerTop[] = {3, 1, 1, 3};
    for (int i = 0; i < 4; ++i) {
        p.fillRect(fingerX[i], fingerTop[i], 2, 9 - fingerTop[i], outline);
        p.fillRect(fingerX[i], fingerTop[i] + 1, 1, 8 - fingerTop[i], skin);
    }
    p.fillRect(4, 8, 8, 6, outline);
    p.fillRect(5, 8, 6, 5, skin);
    p.fillRect(12, 7, 2, 2, outline);  // thumb
    p.fillRect(11, 9, 2, 2, outline);
    p.fillRect(12, 8, 1, 1, skin);
    p.fillRect(5, 14, 6, 1, outline);
}

constexpr int kPicture = 16;  // a toolbar picture's side at scale 1
constexpr int kPictures = 4;

// The strip at scale 1 or 2: the same drawing in a finer grid, so that a screen at twice the
// density shows crisp edges rather than doubled or blurred pixels.
QImage ToolbarStrip(bool bRunning, int scale) {
    // Transparent ground: the bar shows through, as the button face does.
    QImage strip = NewImage(kPictures * kPicture * scale, kPicture * scale, Qt::transparent);
    QPainter p(&strip);
    p.scale(scale, scale);
    void (*draw[])(QPainter&) = {DrawDisk, DrawTools, DrawCamera, bRunning ? DrawHand : DrawFlag};
    for (int i = 0; i < kPictures; ++i) {
        p.save();
        p.translate(kPicture * i, 0);
        draw[i](p);
        p.restore();
    }
    return strip;
}

// The form for dark bars: each picture ringed by a light halo (scale pixels wide), so that its
// black and navy edges stand out from a dark button face. The halo stays inside its picture's
// cell; where the picture reaches the cell's edge, its dark edge pixels take the halo's colour.
QImage WithHalo(const QImage& strip, int scale) {
    const QColor halo(224, 224, 224);
    const int cell = kPicture * scale;
    QImage ringed = NewImage(strip.width(), strip.height(), Qt::transparent);
    for (int y = 0; y < strip.height(); ++y) {
        for (int x = 0; x < strip.width(); ++x) {
            const int cellLeft = x / cell * cell;
            bool bNearPicture = false;
            for (int dy = -scale; dy <= scale && !bNearPicture; ++dy) {
                for (int dx = -scale; dx <= scale && !bNearPicture; ++dx) {
                    const int nx = x + dx;
                    const int ny = y + dy;
                    bNearPicture = nx >= cellLeft && nx < cellLeft + cell && ny >= 0 &&
                                   ny < strip.height() && qAlpha(strip.pixel(nx, ny)) >= 128;
                }
            }
            if (bNearPicture) {
                ringed.setPixelColor(x, y, halo);
            }
        }
    }
    {
        QPainter p(&ringed);
        p.drawImage(0, 0, strip);
    }
    for (int y = 0; y < ringed.height(); ++y) {
        for (int x = 0; x < ringed.width(); ++x) {
            const bool bCellEdge = y < scale || y >= ringed.height() - scale || x % cell < scale ||
                                   x % cell >= cell - scale;
            const QColor colour = ringed.pixelColor(x, y);
            if (bCellEdge && colour.alpha() >= 128 && colour.lightness() < 128) {
                ringed.setPixelColor(x, y, halo);
            }
        }
    }
    return ringed;
}

// Strip nID in its four forms: as drawn, twice as fine, and both with the halo for dark bars.
bool SaveToolbarStrip(const QString& folder, unsigned nID, bool bRunning) {
    const QString name = QStringLiteral("bitmap%1").arg(nID);
    bool bOk = true;
    for (int scale : {1, 2}) {
        const QImage strip = ToolbarStrip(bRunning, scale);
        const QString suffix = scale == 1 ? QString() : QStringLiteral("-2x");
        bOk = bOk && Save(strip, folder, name + suffix + QStringLiteral(".png")) &&
              Save(WithHalo(strip, scale), folder,
                   name + QStringLiteral("-dark") + suffix + QStringLiteral(".png"));
    }
    return bOk;
}

// --- the eye icon -----------------------------------------------------------------------

QImage EyeIcon(int size) {
    QImage image = NewImage(size, size, kBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    QPainterPath lids;
    lids.moveTo(2, 16);
    lids.quadTo(16, 2, 30, 16);
    lids.quadTo(16, 30, 2, 16);
    p.fillPath(lids, kWhite);
    QRadialGradient iris(16, 16, 7.5);
    iris.setColorAt(0.0, QColor(120, 190, 255));
    iris.setColorAt(0.7, QColor(20, 90, 230));
    iris.setColorAt(1.0, kNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(iris);
    p.setClipPath(lids);
    p.drawEllipse(QPointF(16, 16), 7.5, 7.5);
    p.setBrush(kBlack);
    p.drawEllipse(QPointF(16, 16), 3.2, 3.2);
    p.setBrush(kWhite);
    p.drawEllipse(QPointF(18.2, 13.8), 1.3, 1.3);
    p.setClipping(false);
    p.setPen(QPen(QColor(60, 120, 255), 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(lids);
    return image;
}

// --- the sensor pattern -----------------------------------------------------------------

// Radius of ring r as a fraction of the sensor's outer radius: the fovea grows linearly,
// the periphery geometrically, meeting at the fovea's edge.
double RingRadius(int nRing) {
    const double rFovea = 0.16;
    if (nRing < kFoveaRings) {
        return rFovea * nRing / kFoveaRings;
    }
    const double growth = std::log(1.0 / rFovea) / (kRings - kFoveaRings);
    return rFovea * std::exp(growth * (nRing - kFoveaRings));
}

// The rings and sectors as dots: the fovea's rings with their 6r pixels, the periphery
// with every sector; only every few rings and sectors so the pattern stays readable.
void DrawSensor(QPainter& p, QPointF centre, double radius, int nRingStep, int nSectorStep) {
    p.setPen(Qt::NoPen);
    for (int ring = 1; ring < kRings; ring += (ring < kFoveaRings ? 3 : nRingStep)) {
        const double r = radius * RingRadius(ring);
        const int nPixels = ring < kFoveaRings ? 6 * ring : kSectors;
        const int nStep = ring < kFoveaRings ? std::max(1, nSectorStep / 2) : nSectorStep;
        const double t = static_cast<double>(ring) / kRings;
        const QColor dot = QColor::fromHsvF(0.63 - 0.1 * t, 0.5 + 0.35 * t, 0.5 + 0.5 * t);
        const double dotRadius = std::max(0.45, 2.2 * radius / 128.0 * (0.35 + 1.1 * t));
        p.setBrush(dot);
        for (int s = 0; s < nPixels; s += nStep) {
            const double a = 2 * kPi * (s + 0.5 * (ring % 2)) / nPixels;
            p.drawEllipse(QPointF(centre.x() + r * std::cos(a), centre.y() - r * std::sin(a)),
                          dotRadius, dotRadius);
        }
    }
}

void DrawTitle(QPainter& p, const QRectF& rcName, const QRectF& rcCaption, int nNamePixels,
               int nCaptionPixels, const QString& caption) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(nNamePixels);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 200));
    p.drawText(rcName.translated(1, 1), Qt::AlignCenter, QStringLiteral("Pandry"));
    p.setPen(kWhite);
    p.drawText(rcName, Qt::AlignCenter, QStringLiteral("Pandry"));
    font.setBold(false);
    font.setPixelSize(nCaptionPixels);
    p.setFont(font);
    p.setPen(QColor(170, 200, 255));
    p.drawText(rcCaption, Qt::AlignCenter, caption);
}

QImage Background() {
    QImage image = NewImage(256, 256, kBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSensor(p, QPointF(128, 128), 126, 4, 3);
    // A dark band behind the lettering keeps it readable over the dots.
    p.fillRect(QRectF(0, 98, 256, 60), QColor(0, 0, 0, 170));
    DrawTitle(p, QRectF(0, 98, 256, 38), QRectF(0, 134, 256, 20), 32, 13,
              QStringLiteral("space-variant camera viewer"));
    return image;
}

QImage Picture() {
    QImage image = NewImage(103, 126, kBlack);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawSensor(p, QPointF(51.5, 52), 49, 5, 4);
    DrawTitle(p, QRectF(0, 100, 103, 16), QRectF(0, 114, 103, 11), 15, 9,
              QStringLiteral("ring camera viewer"));
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw-artwork OUTPUT-FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool bOk = SaveToolbarStrip(folder, 102, false) && SaveToolbarStrip(folder, 115, true) &&
               SaveToolbarStrip(folder, 116, false) &&
               Save(Picture(), folder, QStringLiteral("bitmap117.png")) &&
               Save(Background(), folder, QStringLiteral("bitmap128.png")) &&
               Save(NewImage(32, 32, Qt::transparent), folder, QStringLiteral("icon108-32.png"));
    for (int size : {16, 32, 48, 64, 128, 256}) {
        bOk = bOk && Save(EyeIcon(size), folder, QStringLiteral("icon102-%1.png").arg(size));
    }
    return bOk ? 0 : 1;
}
