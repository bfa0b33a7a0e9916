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
QImage pollUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs) {
    Clock& clock = *platform().clock;
    const uint32_t start = clock.tickCount();
    QImage last;
    uint32_t lastChange = start;
    while (clock.tickCount() - start < uint32_t(timeoutMs)) {
        QCoreApplication::processEvents();
        const QImage now = platform().capture->grabArea(area);
        if (now.isNull()) return now;
        const uint32_t at = clock.tickCount();
        if (now != last) {
            last = now;
            lastChange = at;
        } else if (!stillShows(now, covered) && at - lastChange >= uint32_t(kStableMs)) {
            // Gone, and whatever is beneath has stopped repainting.
            return now;
        }
        clock.sleepMs(kPollMs);
    }
    return last;
}
}  // namespace

bool stillShows(const QImage& now, const QImage& covered) {
    if (now.isNull() || covered.isNull()) return false;
    const QImage a = now.convertToFormat(QImage::Format_RGB32);
    QImage b = covered.convertToFormat(QImage::Format_RGB32);
    if (b.size() != a.size()) b = b.scaled(a.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    // Done as soon as more than a tenth differ: a repainted 4K strip is not read through.
    const qint64 allowed = qint64(a.width()) * a.height() / 10;
    qint64 differ = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* la = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lb = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) differ += near(la[x], lb[x]) ? 0 : 1;
        if (differ > allowed) return false;
    }
    return true;
}

QImage waitUntilUncovered(const QRect& area, const QImage& covered, int timeoutMs) {
    if (covered.isNull() || area.isEmpty()) return {};
    QEventLoop loop;
    QTimer quiet;
    quiet.setSingleShot(true);
    quiet.setTimerType(Qt::PreciseTimer);
    // The area is read once nothing has been drawn there for kQuietMs, not while it repaints.
    std::unique_ptr<QObject> watch =
        platform().capture->watchRepaints(area, [&quiet] { quiet.start(kQuietMs); });
    if (!watch) return pollUntilUncovered(area, covered, timeoutMs);
    QImage now;
    bool settled = false;
    QObject::connect(&quiet, &QTimer::timeout, &loop, [&] {
        // Still covered: the next repaint there starts the count again.
        now = platform().capture->grabArea(area);
        settled = !stillShows(now, covered);
        if (settled) loop.quit();
    });
    QTimer::singleShot(timeoutMs, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    // What was drawn before the watch began counts as drawn just now.
    quiet.start(kQuietMs);
    loop.exec();
    return settled ? now : platform().capture->grabArea(area);
}

}  // namespace ScreenSettle
