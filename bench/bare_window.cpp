// The reference for start-up: the barest frameless Qt window of the title window's outer size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    window.setFixedSize(309, 150);
    window.show();
    return app.exec();
}
