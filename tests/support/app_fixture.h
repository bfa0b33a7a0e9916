#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>

// Every window and the shared state: a test that takes the fixture needs no more of them.
#include "about/frm_about.h"
#include "canvas/formula_start.h"
#include "layouts/data_files.h"
#include "palette/frm_option.h"
#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/frm_main.h"
#include "support/fake_platform.h"

// Runs pending deferred deletes so unloaded windows are really gone.
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The window with that id, loaded hidden if it was not; the canvas is not among them.
inline Form& formOf(FormId id) {
    if (id == FormId::FrmMain) return forms().get<FrmMain>();
    if (id == FormId::FrmOption) return forms().get<FrmOption>();
    if (id == FormId::FrmOption2) return forms().get<FrmOption2>();
    return forms().get<FrmAbout>();
}

// The canvas as selecting tool n leaves it (0: nothing selected).
inline Formula_Start& canvasWith(int n) {
    Formula_Start& canvas = forms().get<Formula_Start>();
    for (int k = 1; k <= Formula::kToolCount; ++k) Formula::PropOn(k) = k == n ? -1 : 0;
    canvas.setDrawWidth(n == 5 ? 11 : 1);
    Formula::CannonX = -80, Formula::CannonY = -50;
    return canvas;
}

// A clean program for one test: doubles installed, the generated data files of the build
// directory in place, every window unloaded and every shared variable back at 0.
struct AppFixture {
    AppFixture() {
        setProgramDirectory(QStringLiteral(SHATTER_BUILD_DIR));
        forms().reset();
        Formula::resetState();
        forms().setProgramEndHandler([this] { ++programEnds; });
    }
    ~AppFixture() {
        forms().reset();
        forms().setProgramEndHandler({});
        flushDeletes();
        Formula::resetState();
    }
    // The palette's save or load command, its dialog answering with that name.
    void save(const std::optional<QString>& name) {
        fakes.dialogs->saveAnswers.push_back(name);
        forms().get<FrmOption>().SavePic_MouseDown(1, 0, 0, 0);
    }
    void load(const std::optional<QString>& name) {
        fakes.dialogs->openAnswers.push_back(name);
        forms().get<FrmOption>().LoadPic_MouseDown(1, 0, 0, 0);
    }
    FakePlatform fakes;
    int programEnds = 0;  // how often the last window was unloaded
};

// A test object whose every test function starts from a clean program, the screen's snapshot
// plain white unless the test says otherwise.
class AppTest : public QObject {
    Q_OBJECT
  protected Q_SLOTS:
    void init() {
        m_app = std::make_unique<AppFixture>();
        m_app->fakes.capture->next =
            PersistentImage(QGuiApplication::primaryScreen()->size(), 0xFFFFFF).image();
    }
    void cleanup() { m_app.reset(); }

  protected:
    std::unique_ptr<AppFixture> m_app;
};
