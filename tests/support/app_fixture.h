#pragma once

#include <QCoreApplication>
#include <QEvent>

#include "layouts/data_files.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "support/fake_platform.h"

// Runs pending deferred deletes so unloaded windows are really gone.
inline void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
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
    FakePlatform fakes;
    int programEnds = 0;  // how often the last window was unloaded
};
