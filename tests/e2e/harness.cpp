#include "e2e/harness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <cstdio>

namespace e2e {

namespace {
// Each pointer step gets this long for the program and the window manager to react.
constexpr int kSettleMs = 60;

QString xdotool() {
    return QStringLiteral("xdotool");
}

bool copyTree(const QString& from, const QString& to) {
    QDirIterator it(from, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + QLatin1Char('/') + QDir(from).relativeFilePath(file);
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(file, target)) return false;
    }
    return true;
}

QString shotDirectory(const QString& fallback) {
    const QString dir = qEnvironmentVariable("SHATTER_E2E_SHOTS", fallback);
    if (dir.isEmpty()) return {};
    const QSize s = Harness::screenSize();
    const QString sub = dir + QStringLiteral("/%1x%2").arg(s.width()).arg(s.height());
    QDir().mkpath(sub);
    return sub;
}
}  // namespace

Harness::Harness() : m_binary(QStringLiteral(SHATTER_BINARY)) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("qt.multimedia*=false"));
    m_process.setProcessEnvironment(env);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

Harness::~Harness() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool Harness::startShatter() {
    m_stderr.clear();
    m_process.start(m_binary, {});
    if (!m_process.waitForStarted(10000)) {
        qWarning("could not start %s: %s", qPrintable(m_binary),
                 qPrintable(m_process.errorString()));
        return false;
    }
    return true;
}

QString Harness::copyProgram() {
    m_copy = std::make_unique<QTemporaryDir>();
    const QString from = QFileInfo(QStringLiteral(SHATTER_BINARY)).absolutePath();
    const QString to = m_copy->path();
    const QString binary = to + QStringLiteral("/shatter");
    if (!QFile::copy(QStringLiteral(SHATTER_BINARY), binary)) return {};
    for (const char* dir : {"Pic", "Sound"}) {
        if (!copyTree(from + QLatin1Char('/') + QLatin1String(dir),
                      to + QLatin1Char('/') + QLatin1String(dir)))
            return {};
    }
    m_binary = binary;
    return to;
}

std::vector<XWindow> Harness::windows() const {
    std::vector<XWindow> found;
    if (m_process.state() == QProcess::NotRunning) return found;
    const QString ids =
        run(xdotool(), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                        QStringLiteral("--pid"), QString::number(m_process.processId())});
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString shell =
            run(xdotool(), {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
        QRect r;
        for (const QString& line : shell.split(QLatin1Char('\n'))) {
            const QString value = line.section(QLatin1Char('='), 1);
            if (line.startsWith(QLatin1String("X="))) r.moveLeft(value.toInt());
            if (line.startsWith(QLatin1String("Y="))) r.moveTop(value.toInt());
            if (line.startsWith(QLatin1String("WIDTH="))) r.setWidth(value.toInt());
            if (line.startsWith(QLatin1String("HEIGHT="))) r.setHeight(value.toInt());
        }
        if (r.isValid()) found.push_back({id, r});
    }
    return found;
}

std::optional<XWindow> Harness::waitForWindow(QSize size, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    do {
        for (const XWindow& w : windows())
            if (w.geometry.size() == size) return w;
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return std::nullopt;
}

bool Harness::waitForNoWindow(QSize size, int timeoutMs) const {
    QDeadlineTimer deadline(timeoutMs);
    do {
        bool seen = false;
        for (const XWindow& w : windows()) seen = seen || w.geometry.size() == size;
        if (!seen) return true;
        QTest::qWait(50);
    } while (!deadline.hasExpired());
    return false;
}

QStringList Harness::allWindowIds() const {
    if (m_process.state() == QProcess::NotRunning) return {};
    return run(xdotool(), {QStringLiteral("search"), QStringLiteral("--pid"),
                           QString::number(m_process.processId())})
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString Harness::property(const QString& windowId, const QString& name) const {
    return run(QStringLiteral("xprop"), {QStringLiteral("-id"), windowId, name});
}

void Harness::moveTo(QPoint p) const {
    // Not "mousemove --sync": it waits forever when the pointer is already there.
    run(xdotool(), {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y())});
    QDeadlineTimer deadline(2000);
    while (pointer() != p && !deadline.hasExpired()) QTest::qWait(10);
    QTest::qWait(kSettleMs);
}

QPoint Harness::pointer() {
    QPoint at(-1, -1);
    const QString shell =
        run(xdotool(), {QStringLiteral("getmouselocation"), QStringLiteral("--shell")});
    for (const QString& line : shell.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("X="))) at.setX(line.mid(2).toInt());
        if (line.startsWith(QLatin1String("Y="))) at.setY(line.mid(2).toInt());
    }
    return at;
}

void Harness::click(QPoint p, int button) const {
    moveTo(p);
    run(xdotool(), {QStringLiteral("click"), QString::number(button)});
    QTest::qWait(kSettleMs);
}

void Harness::drag(QPoint from, QPoint to) const {
    moveTo(from);
    run(xdotool(), {QStringLiteral("mousedown"), QStringLiteral("1")});
    QTest::qWait(kSettleMs);
    // A first small step starts the window manager's move; the rest follow in steps.
    moveTo(from + QPoint(1, 1));
    QTest::qWait(4 * kSettleMs);
    constexpr int kSteps = 6;
    for (int i = 1; i <= kSteps; ++i) moveTo(from + (to - from) * i / kSteps);
    run(xdotool(), {QStringLiteral("mouseup"), QStringLiteral("1")});
    QTest::qWait(4 * kSettleMs);
}

void Harness::key(const QString& windowId, const QString& keySym) const {
    activate(windowId);
    QDeadlineTimer deadline(3000);
    while (run(xdotool(), {QStringLiteral("getactivewindow")}) != windowId &&
           !deadline.hasExpired())
        QTest::qWait(20);
    run(xdotool(), {QStringLiteral("key"), keySym});
}

void Harness::activate(const QString& windowId) const {
    // No --sync: a window that re-creates itself on activation would keep it waiting.
    run(xdotool(), {QStringLiteral("windowactivate"), windowId});
    QTest::qWait(kSettleMs);
}

QImage Harness::screenshot(const QString& name) const {
    QScreen* screen = QGuiApplication::primaryScreen();
    const QImage shot =
        screen ? screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32) : QImage();
    if (!name.isEmpty()) {
        const QString dir = shotDirectory({});
        if (!dir.isEmpty()) shot.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
    return shot;
}

void Harness::saveFailureShot(const QString& testName) const {
    const QString fallback = QCoreApplication::applicationDirPath() + QStringLiteral("/e2e-shots");
    const QString dir = shotDirectory(fallback);
    const QString path = dir + QStringLiteral("/FAILED-") + testName + QStringLiteral(".png");
    if (screenshot().save(path)) qWarning("screen of the failure: %s", qPrintable(path));
}

std::optional<int> Harness::waitForExit(int timeoutMs) {
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
        return std::nullopt;
    if (m_process.exitStatus() != QProcess::NormalExit) return -1;
    return m_process.exitCode();
}

QString Harness::errorOutput() {
    m_stderr += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_stderr);
}

QSize Harness::screenSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QString Harness::run(const QString& program, const QStringList& args, int* status) {
    QProcess p;
    p.start(program, args);
    const bool done = p.waitForFinished(10000);
    if (status) *status = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    if (!done) p.kill(), p.waitForFinished(1000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

QRgb pixelAt(const QImage& shot, QPoint p) {
    return shot.valid(p) ? shot.pixel(p) & 0xFFFFFFu : 0;
}

double compareRegion(const QImage& shot, const QRect& region, const QImage& expected,
                     QPoint expectedOrigin, int tolerance) {
    int same = 0, total = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            ++total;
            const QPoint e = QPoint(x, y) - region.topLeft() + expectedOrigin;
            if (!shot.valid(x, y) || !expected.valid(e)) continue;
            const QColor a = shot.pixelColor(x, y), b = expected.pixelColor(e);
            if (qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
                qAbs(a.blue() - b.blue()) <= tolerance)
                ++same;
        }
    }
    return total ? double(same) / total : 0.0;
}

int countPixels(const QImage& shot, const QRect& region, const std::function<bool(QColor)>& test) {
    int n = 0;
    const QRect r = region.intersected(shot.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += test(shot.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool isBluish(QColor c) {
    return c.blue() > 170 && c.red() < 90 && c.green() < 90;
}
bool isWhitish(QColor c) {
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}
bool isMagentaish(QColor c) {
    return c.red() > 170 && c.blue() > 170 && c.green() < 90;
}

bool prepareDisplay() {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr,
                     "SKIP: no X display; run the end-to-end tests through "
                     "scripts/with-display.sh\n");
        return false;
    }
    // The scenarios grab the real screen, so never the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "xcb");
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty()) {
        std::fprintf(stderr, "FAIL: the end-to-end tests need xdotool and xprop\n");
        std::exit(1);
    }
    return true;
}

}  // namespace e2e
