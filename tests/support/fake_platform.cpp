#include "support/fake_platform.h"

// The installed platform owns the doubles from here on.
FakePlatform::FakePlatform() {
    auto p = std::make_unique<Platform>();
    p->sound.reset(sound), p->capture.reset(capture), p->dialogs.reset(dialogs);
    p->messages.reset(messages), p->shell.reset(shell), p->clock.reset(clock);
    p->random.reset(random);
    p->fatal = std::make_unique<FakeFatal>();
    m_previous = installPlatform(std::move(p));
}
