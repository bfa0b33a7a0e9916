#include "platform/platform.h"

namespace {
std::unique_ptr<Platform>& current() {
    static std::unique_ptr<Platform> services = std::make_unique<Platform>();
    return services;
}
}  // namespace

Platform& platform() { return *current(); }

std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> services) {
    auto previous = std::move(current());
    current() = std::move(services);
    return previous;
}
