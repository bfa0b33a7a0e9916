#include "platform/device_scale.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

#include "canvas/rounding.h"
#include "platform/primary_screen.h"

DeviceScale::DeviceScale(double factor) : m_s(std::isfinite(factor) && factor > 0 ? factor : 1) {}

DeviceScale DeviceScale::ofPrimaryScreen() {
    const QScreen* screen = PrimaryScreen::current();
    return DeviceScale(screen ? screen->devicePixelRatio() : 1);
}

QSize DeviceScale::primaryScreenSize() {
    const QScreen* screen = PrimaryScreen::current();
    if (!screen) return {};
    return DeviceScale(screen->devicePixelRatio()).screenSize(screen->geometry().size());
}

QSize DeviceScale::screenSize(QSize logical) const {
    // Halves up, as Qt scales a screen's size: a grab of the screen has exactly this size.
    const auto up = [this](int v) { return int(std::floor(v * m_s + 0.5)); };
    return QSize(up(logical.width()), up(logical.height()));
}

QPoint DeviceScale::point(double x, double y) const {
    return roundPx(x * m_s, y * m_s);
}

int DeviceScale::length(double v) const {
    return roundPx(v * m_s);
}

QSize DeviceScale::size(QSize logical) const {
    return QSize(length(logical.width()), length(logical.height()));
}

QRect DeviceScale::sourceRect(const QRect& logical) const {
    return QRect(point(logical.x(), logical.y()), size(logical.size()));
}

QRect DeviceScale::logicalCover(const QRect& device) const {
    if (isIdentity() || device.isEmpty()) return device;
    const int left = int(std::floor(device.left() / m_s));
    const int top = int(std::floor(device.top() / m_s));
    const int right = int(std::ceil((device.right() + 1) / m_s));
    const int bottom = int(std::ceil((device.bottom() + 1) / m_s));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QRect DeviceScale::deviceCover(const QRect& logical) const {
    if (isIdentity() || logical.isEmpty()) return logical;
    const int left = int(std::floor(logical.left() * m_s));
    const int top = int(std::floor(logical.top() * m_s));
    const int right = int(std::ceil((logical.right() + 1) * m_s));
    const int bottom = int(std::ceil((logical.bottom() + 1) * m_s));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QImage DeviceScale::sprite(const QImage& picture) const {
    if (isIdentity() || picture.isNull()) return picture;
    return picture.scaled(size(picture.size()), Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage DeviceScale::picture(const QImage& picture) const {
    if (isIdentity() || picture.isNull()) return picture;
    return picture.scaled(size(picture.size()), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPoint DeviceScale::hotSpot(QPoint logical) const {
    return point(logical.x(), logical.y());
}
