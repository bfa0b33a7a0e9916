#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRect>
#include <QThread>
#include <functional>
#include <optional>

#include "layouts/layouts.h"

// For the enter benchmarks on a Wayland desktop: starts Shatter on Qt's Wayland platform, its
// error output dropped, and waits for its title window as the desktop reports it (find: the
// program's window of that size). Returns the centre of the title's enter label on the screen
// once the title had time for its first paint; nothing when no title came within 10 s.
inline std::optional<QPoint> startToEnterLabel(
    QProcess& program, const QString& shatter,
    const std::function<std::optional<QRect>(qint64 pid, QSize size)>& find) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "wayland");
    env.insert("QT_LOGGING_RULES", "qt.multimedia*=false");
    program.setProcessEnvironment(env);
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(shatter, {});
    std::optional<QRect> title;
    QDeadlineTimer deadline(10000);
    while (!(title = find(program.processId(), QSize(309, 150))) && !deadline.hasExpired())
        QThread::msleep(50);
    if (!title) return std::nullopt;
    QThread::msleep(300);  // its first paint
    // The enter label's centre, inside the title's 3-pixel frame.
    const ControlLayout* c = findControl(layoutOf(FormId::FrmMain), QLatin1String("Come"));
    return title->topLeft() + QPoint(3, 3) +
           QRect(twipsToPixels(c->left), twipsToPixels(c->top), twipsToPixels(c->width),
                 twipsToPixels(c->height))
               .center();
}
