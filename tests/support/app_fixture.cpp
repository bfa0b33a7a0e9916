#include "support/app_fixture.h"

#include <QCoreApplication>
#include <QEvent>

#include "layouts/data_files.h"
#include "shell/formula.h"
#include "shell/forms.h"

AppFixture::AppFixture() {
    setProgramDirectory(QStringLiteral(SHATTER_BUILD_DIR));
    forms().reset();
    Formula::resetState();
    forms().setProgramEndHandler([this] { ++programEnds; });
}

AppFixture::~AppFixture() {
    forms().reset();
    forms().setProgramEndHandler({});
    flushDeletes();
    Formula::resetState();
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
