#pragma once

#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <optional>

#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/cursor_bytes.h"
#include "palette/frm_option.h"
#include "platform/cursor_file.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/label.h"
#include "shell/picture_box.h"
#include "support/app_fixture.h"

// The program as it stands after the enter command: the canvas and the palette shown, no tool
// selected. Uses the build's cursor files, or stand-ins where the build has none.
class PaletteFixture {
  public:
    PaletteFixture() {
        if (!QFileInfo::exists(dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(1)))) {
            m_standIns.emplace();
            if (!CursorBytes::writeToolCursors(m_standIns->path()))
                qFatal("cannot write stand-in cursors");
            setProgramDirectory(m_standIns->path());
        }
        app.fakes.capture->next = QImage(640, 480, QImage::Format_RGB32);
        app.fakes.capture->next.fill(Qt::gray);
        forms().get<Formula_Start>().showForm();
        forms().get<FrmOption>().showForm();
        app.fakes.sound->calls.clear();
    }

    static FrmOption& palette() { return forms().get<FrmOption>(); }
    static Formula_Start& canvas() { return forms().get<Formula_Start>(); }
    static FrmOption2& settings() { return forms().get<FrmOption2>(); }
    static PictureBox* toolPicture(int n) {
        return palette().picture(QStringLiteral("Prop%1_1").arg(n));
    }
    static Label* toolCaption(int n) { return palette().label(QStringLiteral("Prop%1_2").arg(n)); }
    static QWidget* toolControl(int n, bool onCaption) {
        return onCaption ? static_cast<QWidget*>(toolCaption(n)) : toolPicture(n);
    }
    static CursorFileResult cursorFile(int n) {
        return readCursorFile(dataFilePath(DataDir::IconCursor, DataFiles::toolCursor(n)));
    }
    static bool sameCursor(const QCursor& c, const CursorFileResult& file) {
        return c.hotSpot() == file.hotSpot &&
               c.pixmap().toImage().convertToFormat(QImage::Format_ARGB32) == file.image;
    }
    // What the window's client area shows, controls included.
    static QImage shown(Form& f) { return f.client()->grab().toImage(); }

    // Moves over w with the given buttons held, the way the window system would report it.
    static void moveOver(QWidget* w, Qt::MouseButtons held = Qt::NoButton) {
        const QPointF local(2, 2);
        QMouseEvent e(QEvent::MouseMove, local, w->mapToGlobal(local), Qt::NoButton, held,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
    // What the window system reports for a double-click: a whole click, then the double-click.
    static void doubleClick(QWidget* w) {
        QTest::mouseClick(w, Qt::LeftButton);
        QTest::mouseDClick(w, Qt::LeftButton);
    }
    // A point of the palette's background, away from every control.
    static constexpr QPoint kBackground{5, 5};

    AppFixture app;

  private:
    std::optional<QTemporaryDir> m_standIns;
};
