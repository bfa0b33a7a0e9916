#include "e2e/harness_canvas.h"

#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTest>

namespace e2e {

namespace {
QString xdotool() {
    return QStringLiteral("xdotool");
}

bool differs(QRgb a, QRgb b, int tolerance) {
    return qAbs(qRed(a) - qRed(b)) > tolerance || qAbs(qGreen(a) - qGreen(b)) > tolerance ||
           qAbs(qBlue(a) - qBlue(b)) > tolerance;
}

template <typename Visit>
void forEachDifference(const QImage& a, const QImage& b, const QRect& region, int tolerance,
                       Visit visit) {
    const QRect r = region.intersected(a.rect()).intersected(b.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = r.left(); x <= r.right(); ++x)
            if (differs(la[x], lb[x], tolerance)) visit(x, y);
    }
}

QImage rgb32(const QImage& image) {
    return image.format() == QImage::Format_RGB32 ? image
                                                  : image.convertToFormat(QImage::Format_RGB32);
}
}  // namespace

QImage testPattern(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    const int w = size.width(), h = size.height();
    QPainter p(&img);
    // Upper 60 %: bright bars, none of them dark in all three channels.
    const QColor bars[] = {QColor(255, 255, 255), QColor(255, 230, 40), QColor(60, 230, 255),
                           QColor(90, 240, 90),   QColor(250, 90, 250), QColor(255, 120, 80),
                           QColor(120, 150, 255), QColor(210, 210, 210)};
    const int barsBottom = h * 6 / 10;
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRect(i * w / 8, 0, (i + 1) * w / 8 - i * w / 8, barsBottom), bars[i]);
    // Fine lines every 32 pixels: a shift by one pixel anywhere cannot pass unnoticed.
    p.setPen(QColor(128, 128, 128));
    for (int x = 16; x < w; x += 32) p.drawLine(x, 0, x, barsBottom - 1);
    for (int y = 16; y < barsBottom; y += 32) p.drawLine(0, y, w - 1, y);
    // Two gradient bands.
    QLinearGradient across(0, 0, w, 0);
    across.setColorAt(0, QColor(255, 60, 60));
    across.setColorAt(0.5, QColor(60, 255, 60));
    across.setColorAt(1, QColor(60, 60, 255));
    const int band = (h - barsBottom) / 3;
    p.fillRect(QRect(0, barsBottom, w, band), across);
    QLinearGradient down(0, barsBottom + band, w / 3, h);
    down.setColorAt(0, QColor(250, 250, 180));
    down.setColorAt(1, QColor(40, 20, 90));
    p.fillRect(QRect(0, barsBottom + band, w, h - barsBottom - band), down);
    // Text in the bottom band, away from where the scenarios strike.
    QFont font = p.font();
    font.setPixelSize(18);
    p.setFont(font);
    p.setPen(Qt::black);
    for (int x = 20; x < w - 200; x += 260)
        p.drawText(QPoint(x, h - 20), QStringLiteral("Shatter %1x%2 @%3").arg(w).arg(h).arg(x));
    return img;
}

std::unique_ptr<QWidget> showPicture(const QImage& picture) {
    auto label = std::make_unique<QLabel>();
    // Like a desktop background: below every window of the program and never focused, or the
    // window manager would lift a focused screen-sized window above the canvas.
    label->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint |
                          Qt::WindowDoesNotAcceptFocus);
    label->setWindowTitle(QStringLiteral("e2e pattern"));
    label->setContentsMargins(0, 0, 0, 0);
    label->setPixmap(QPixmap::fromImage(picture));
    QScreen* screen = QGuiApplication::primaryScreen();
    label->setGeometry(screen ? screen->geometry() : QRect(QPoint(0, 0), picture.size()));
    label->show();
    if (!QTest::qWaitForWindowExposed(label.get())) return nullptr;
    // Exposed is not yet painted: wait until the screen shows the picture.
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        QTest::qWait(50);
        const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
        if (changedCount(shot, rgb32(picture), shot.rect()) == 0) return label;
    }
    return nullptr;
}

void replacePicture(QWidget& window, const QImage& picture) {
    if (auto* label = qobject_cast<QLabel*>(&window)) label->setPixmap(QPixmap::fromImage(picture));
    window.repaint();
    QTest::qWait(100);
}

QPoint clientToScreen(const XWindow& w, QPoint inClient) {
    return w.geometry.topLeft() + kFrameOffset + inClient;
}

QRect controlOnScreen(const XWindow& w, FormId form, const char* name) {
    const ControlLayout* c = findControl(layoutOf(form), QLatin1String(name));
    if (!c) qFatal("no control %s in the layout", name);
    return QRect(clientToScreen(w, QPoint(twipsToPixels(c->left), twipsToPixels(c->top))),
                 QSize(twipsToPixels(c->width), twipsToPixels(c->height)));
}

QPoint controlCentre(const XWindow& w, FormId form, const char* name) {
    return controlOnScreen(w, form, name).center();
}

std::optional<XWindow> canvasWindow(const Harness& h) {
    return h.waitForWindow(Harness::screenSize(), 10000);
}

std::optional<XWindow> enterCanvas(Harness& h) {
    if (!h.startShatter()) return std::nullopt;
    const auto title = h.waitForWindow(kTitleOuterSize);
    if (!title) return std::nullopt;
    QTest::qWait(200);  // its first paint
    h.click(controlCentre(*title, FormId::FrmMain, "Come"));
    const auto canvas = canvasWindow(h);
    const auto palette = h.waitForWindow(kPaletteOuterSize);
    if (!canvas || !palette) return std::nullopt;
    if (!waitForStillScreen(h, 5000, 200)) return std::nullopt;
    return palette;
}

QRect changedBox(const QImage& a, const QImage& b, const QRect& ignore, int tolerance) {
    QRect box;
    forEachDifference(a, b, a.rect(), tolerance, [&](int x, int y) {
        if (!ignore.contains(x, y)) box |= QRect(x, y, 1, 1);
    });
    return box;
}

int changedCount(const QImage& a, const QImage& b, const QRect& region, int tolerance) {
    int n = 0;
    forEachDifference(a, b, region, tolerance, [&](int, int) { ++n; });
    return n;
}

QPointF changedCentroid(const QImage& a, const QImage& b, const QRect& region) {
    double sx = 0, sy = 0;
    int n = 0;
    forEachDifference(a, b, region, 0, [&](int x, int y) { sx += x, sy += y, ++n; });
    return n ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

std::optional<QImage> waitForStillScreen(const Harness& h, int timeoutMs, int quietMs) {
    QDeadlineTimer deadline(timeoutMs);
    QImage last = h.screenshot();
    QDeadlineTimer quiet(quietMs);
    while (!deadline.hasExpired()) {
        QTest::qWait(50);
        const QImage now = h.screenshot();
        if (now != last) {
            last = now;
            quiet.setRemainingTime(quietMs);
        } else if (quiet.hasExpired()) {
            return now;
        }
    }
    return std::nullopt;
}

std::optional<XWindow> waitForTitledWindow(const Harness& h, const QString& title, int timeoutMs,
                                           const QString& excluded) {
    QDeadlineTimer deadline(timeoutMs);
    do {
        for (const XWindow& w : h.windows())
            if (w.id != excluded &&
                Harness::run(xdotool(), {QStringLiteral("getwindowname"), w.id}) == title)
                return w;
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

bool focusWindow(const Harness& h, const QString& windowId) {
    h.activate(windowId);
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired()) {
        if (Harness::run(xdotool(), {QStringLiteral("getactivewindow")}) == windowId) {
            QTest::qWait(100);  // the dialog puts the focus into its field
            return true;
        }
        QTest::qWait(20);
    }
    return false;
}

void sendKeys(const QString& keySyms) {
    Harness::run(xdotool(),
                 {QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("40"), keySyms});
    QTest::qWait(100);
}

void typeText(const QString& text) {
    Harness::run(xdotool(),
                 {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("8"), text});
    QTest::qWait(150);
}

void buttonDown(int button) {
    Harness::run(xdotool(), {QStringLiteral("mousedown"), QString::number(button)});
    QTest::qWait(60);
}

void buttonUp(int button) {
    Harness::run(xdotool(), {QStringLiteral("mouseup"), QString::number(button)});
    QTest::qWait(60);
}

}  // namespace e2e
