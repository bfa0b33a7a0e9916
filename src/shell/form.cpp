#include "shell/form.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "platform/primary_screen.h"
#include "platform/wayland_session.h"
#include "shell/forms.h"
#include "shell/label.h"
#include "shell/mouse_args.h"
#include "shell/picture_box.h"

class Form::ClientSurface : public QWidget {
public:
    explicit ClientSurface(Form* form) : QWidget(form), m_form(form) {
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(this);
        m_form->paintClient(p, e->rect());
    }
    void mousePressEvent(QMouseEvent* e) override { m_form->clientMouse(e, 0); }
    void mouseMoveEvent(QMouseEvent* e) override { m_form->clientMouse(e, 1); }
    void mouseReleaseEvent(QMouseEvent* e) override { m_form->clientMouse(e, 2); }

private:
    Form* m_form;
};

Form::Form(FormId id) : QWidget(nullptr), m_layout(layoutOf(id)) {
    setObjectName(m_layout.name);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    m_back = m_layout.backColour;
    m_fore = m_layout.foreColour.value_or(0);
    m_client = new ClientSurface(this);
    const int frame = m_layout.dialogFrame ? kDialogFramePx : 0;
    const QSize clientSize(twipsToPixels(m_layout.clientWidth),
                           twipsToPixels(m_layout.clientHeight));
    setClientGeometry(QRect(QPoint(frame, frame), clientSize));
    for (const ControlLayout& c : m_layout.controls) {
        switch (c.kind) {
            case ControlKind::Label: m_labels[c.name] = new Label(c, m_client); break;
            case ControlKind::Picture:
                m_pictures[{c.name, c.index}] = new PictureBox(c, m_client);
                break;
            case ControlKind::FileDialog:
            case ControlKind::ColorDialog: m_dialogs[c.name]; break;
        }
    }
}

Form::~Form() = default;

void Form::setClientGeometry(const QRect& clientRect) {
    const int frame = m_layout.dialogFrame ? kDialogFramePx : 0;
    m_client->setGeometry(QRect(QPoint(frame, frame), clientRect.size()));
    setFixedSize(clientRect.width() + 2 * frame, clientRect.height() + 2 * frame);
    if (!m_drawing.isNull() && m_drawing.size() != clientRect.size()) m_drawing = QImage();
}

Label* Form::label(const QString& name) const {
    auto it = m_labels.find(name);
    Q_ASSERT_X(it != m_labels.end(), "Form::label", qPrintable(name));
    return it == m_labels.end() ? nullptr : it->second;
}

PictureBox* Form::picture(const QString& name, int index) const {
    auto it = m_pictures.find({name, index});
    return it == m_pictures.end() ? nullptr : it->second;
}

CommonDialog& Form::dialog(const QString& name) { return m_dialogs[name]; }

void Form::setBackColor(Colour colour) {
    m_back = colour;
    m_client->update();
}

void Form::setBackgroundPicture(const QImage& picture) {
    m_backgroundPicture = picture;
    m_client->update();
}

void Form::setMouseIcon(const QCursor& cursor) {
    m_mouseIcon = cursor;
    m_client->setCursor(cursor);
}

QImage& Form::drawingLayer() {
    if (m_drawing.isNull()) {
        m_drawing = QImage(m_client->size(), QImage::Format_ARGB32_Premultiplied);
        m_drawing.fill(Qt::transparent);
    }
    return m_drawing;
}

void Form::Cls() {
    drawingLayer().fill(Qt::transparent);
    m_currentPos = QPoint(0, 0);
    m_client->update();
}

void Form::drawBox(QPoint a, QPoint b) {
    QPainter p(&drawingLayer());
    const QRect box = QRect(a, b).normalized();
    p.setPen(QPen(toQColor(m_fore), m_drawWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Qt::NoBrush);
    // A 1-pixel rectangle covers width + 1 pixels, so both corners are inside the outline.
    p.drawRect(QRect(box.topLeft(), box.size() - QSize(1, 1)));
    m_currentPos = b;
    m_client->update();
}

void Form::paintClient(QPainter& p, const QRect& rect) {
    p.fillRect(rect, toQColor(m_back));
    if (!m_backgroundPicture.isNull()) p.drawImage(QPoint(0, 0), m_backgroundPicture);
    if (!m_drawing.isNull()) p.drawImage(rect, m_drawing, rect);
}

void Form::paintEvent(QPaintEvent*) {
    if (!m_layout.dialogFrame) return;
    // The classic raised dialog frame, 3 pixels wide.
    QPainter p(this);
    const QRect r = rect();
    p.fillRect(r, QColor(212, 208, 200));
    p.setPen(QColor(255, 255, 255));
    p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
    p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
    p.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);
    p.setPen(QColor(64, 64, 64));
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
}

void Form::closeEvent(QCloseEvent* e) {
    e->accept();
    closedByWindowManager();
}

void Form::closedByWindowManager() {
    forms().unload(id());
}

void Form::showForm() {
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (QScreen* s = PrimaryScreen::current()) {
            const QRect area = s->geometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
    if (WaylandSession::current()) {
        winId();  // the native window, to give it its owner before it is mapped
        WaylandSession::keepAboveFullScreen(windowHandle());
    }
    show();
    raise();
    if (!windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus)) activateWindow();
}

void Form::keepWithin(const QRect& area) {
    const QRect frame = frameGeometry();
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    if (QPoint(x, y) != frame.topLeft()) move(pos() + QPoint(x, y) - frame.topLeft());
}

void Form::hideForm() {
    // A press that hides its own window never gets its release (the pointer is then over
    // another window or none), and Qt would keep routing the pointer to the hidden window:
    // the next window would see no mouse moves until the user clicks again.
    const Qt::MouseButtons held = QGuiApplication::mouseButtons();
    if (QWindow* w = windowHandle(); w && isVisible() && held != Qt::NoButton) {
        const QPointF global = QCursor::pos();
        const auto button = static_cast<Qt::MouseButton>(held.toInt() & -held.toInt());
        QMouseEvent release(QEvent::MouseButtonRelease, w->mapFromGlobal(global), global, button,
                            held & ~button, QGuiApplication::keyboardModifiers());
        QCoreApplication::sendEvent(w, &release);
    }
    hide();
}

void Form::startDrag() {
    // On X11 Qt keeps its own grab of the pressed button, so the window manager never sees
    // the release and the window would stick to the pointer: move it ourselves there.
    const bool systemMove = !QGuiApplication::platformName().startsWith(QLatin1String("xcb"));
    if (QWindow* w = windowHandle(); systemMove && w && w->startSystemMove()) return;
    // No window-manager move: follow the pointer ourselves until the button goes up.
    m_manualDrag = true;
    m_dragOffset = QCursor::pos() - pos();
}

void Form::clientMouse(QMouseEvent* e, int kind) {
    if (m_manualDrag) {
        if (kind == 1 && (e->buttons() & Qt::LeftButton)) {
            move(e->globalPosition().toPoint() - m_dragOffset);
            return;
        }
        m_manualDrag = false;
    }
    const double k = unitsPerPixel();
    const double x = e->position().x() * k, y = e->position().y() * k;
    switch (kind) {
        case 0: Form_MouseDown(pressedButton(e), shiftState(e), x, y); break;
        case 1: Form_MouseMove(heldButtons(e), shiftState(e), x, y); break;
        default: Form_MouseUp(pressedButton(e), shiftState(e), x, y); break;
    }
}

void Form::Form_MouseDown(int, int, double, double) {}
void Form::Form_MouseMove(int, int, double, double) {}
void Form::Form_MouseUp(int, int, double, double) {}
