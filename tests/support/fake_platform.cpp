#include "support/fake_platform.h"

FakePlatform::FakePlatform() {
    auto p = std::make_unique<Platform>();
    auto s = std::make_unique<FakeSound>();
    auto c = std::make_unique<FakeCapture>();
    auto d = std::make_unique<FakeDialogs>();
    auto m = std::make_unique<FakeMessages>();
    auto sh = std::make_unique<FakeShell>();
    auto cl = std::make_unique<FakeClock>();
    auto r = std::make_unique<FakeRandom>();
    sound = s.get(), capture = c.get(), dialogs = d.get(), messages = m.get();
    shell = sh.get(), clock = cl.get(), random = r.get();
    p->sound = std::move(s);
    p->capture = std::move(c);
    p->dialogs = std::move(d);
    p->messages = std::move(m);
    p->shell = std::move(sh);
    p->clock = std::move(cl);
    p->random = std::move(r);
    p->fatal = std::make_unique<FakeFatal>();
    m_previous = installPlatform(std::move(p));
}

FakePlatform::~FakePlatform() { installPlatform(std::move(m_previous)); }
