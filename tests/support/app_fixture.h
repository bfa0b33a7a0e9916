#pragma once

#include <memory>

#include "support/fake_platform.h"

// A clean program for one test: doubles installed, the generated data files of the build
// directory in place, every window unloaded and every shared variable back at 0.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    FakePlatform fakes;
    int programEnds = 0;  // how often the last window was unloaded
};

// Runs pending deferred deletes so unloaded windows are really gone.
void flushDeletes();
