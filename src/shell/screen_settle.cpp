#include "shell/screen_settle.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "platform/platform.h"

namespace ScreenSettle {

namespace {
constexpr int kTolerance = 8;

bool near(QRgb a, QRgb b) {
    return qAbs(qRed(a) - qRed(b)) <= kTolerance && qAbs(qGreen(a) - qGreen(b)) <= kTolerance &&
           qAbs(qBlue(a) - qBlue(b)) <= kTolerance;
}

// Where repaints cannot be watched: reads the area now and then until it has stopped
// changing.
void pollUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs) {
    Clock& clock = *platform().clock;
    const uint32_t start = clock.tickCount();
    QImage last;
    uint32_t lastChange = start;
    while (clock.tickCount() - start < uint32_t(timeoutMs)) {
        QCoreApplication::processEvents();
        const QImage now = platform().capture->grabArea(area);
        if (now.isNull()) return;
        const uint32_t at = clock.tickCount();
        if (now != last) {
            last = now;
            lastChange = at;
        } else if (!stillShows(now, covered) && at - lastChange >= uint32_t(kStableMs)) {
            // Gone, and whatever is beneath has stopped repainting.
            return;
        }
        clock.sleepMs(kPollMs);
    }
}
}  // namespace

bool stillShows(const QImage& now, const QImage& covered) {
    if (now.isNull() || covered.isNull()) return false;
    const QImage a = now.convertToFormat(QImage::Format_RGB32);
    QImage b = covered.convertToFormat(QImage::Format_RGB32);
    if (b.size() != a.size()) b = b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    qint64 same = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) same += near(la[x], lb[x]) ? 1 : 0;
    }
    return same * 10 >= qint64(a.width()) * a.height() * 9;
}

void waitUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs) {
    if (covered.isNull() || area.isEmpty()) return;
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setTimerType(Qt::PreciseTimer);
    // The area is read once nothing has been drawn there for kQuietMs, not while it repaints.
    std::unique_ptr<QObject> watch =
        platform().capture->watchRepaints(area, [&quiet] { quiet.start(kQuietMs); });
    if (!watch) return pollUntilUncovered(area, covered, timeoutMs);
    QObject::connect(&quiet, &QTimer::timeout, &loop, [&] {
        // Still covered: the next repaint there starts the count again.
        if (!stillShows(platform().capture->grabArea(area), covered)) loop.quit();
    });
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    // What was drawn before the watch began counts as drawn just now.
    quiet.start(kQuietMs);
    loop.exec();
}

}  // namespace ScreenSettle
