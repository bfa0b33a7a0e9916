#include "platform/platform.h"

#include <QDir>

namespace {
std::unique_ptr<Platform>& current() {
    static std::unique_ptr<Platform> services = std::make_unique<Platform>();
    return services;
}
}  // namespace

QString fatalDataFileMessage(const QString& path, const QString& reason) {
    return QStringLiteral("無法讀取程式的資料檔，程式必須結束。\n%1\n%2。")
        .arg(QDir::toNativeSeparators(path), reason);
}

Platform& platform() { return *current(); }

std::unique_ptr<Platform> installPlatform(std::unique_ptr<Platform> services) {
    auto previous = std::move(current());
    current() = std::move(services);
    return previous;
}
