#pragma once
// What the Qt host tests share: one QApplication on the offscreen platform,
// operator input made of real Qt events, and a watcher that answers the
// message boxes a dialog shows.

#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <string>
#include <vector>

namespace norvik::test {

// The application every test runs in, created on first use with
// QT_QPA_PLATFORM=offscreen, so no display is needed.
inline QApplication& QtApp()
{
    static int argc = 1;
    static char name[] = "norvik_qt_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The offscreen platform cannot grab the mouse or raise windows and
        // says so each time; the host keeps its own capture state.
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (text.startsWith(QStringLiteral("This plugin does not support")))
                return;
            std::fprintf(stderr, "%s%s\n", type == QtDebugMsg ? "" : "qt: ", qPrintable(text));
        });
        return new QApplication(argc, argv);  // lives until the process ends
    }();
    return *app;
}

inline void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& at, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A left click in the middle of a widget.
inline void Click(QWidget* widget)
{
    const QPoint centre = widget->rect().center();
    SendMouse(widget, QEvent::MouseButtonPress, centre, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, centre, Qt::LeftButton, Qt::NoButton);
}

inline void MoveMouse(QWidget* widget, const QPoint& at)
{
    SendMouse(widget, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
}

inline void PressKey(QWidget* widget, int key, const QString& text = QString())
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
}

// Types text key by key, as the operator would.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        int key = Qt::Key_unknown;
        if (ch.isLetter() && ch.unicode() < 0x80)
            key = Qt::Key_A + (ch.toUpper().unicode() - 'A');
        else if (ch.isDigit() && ch.unicode() < 0x80)
            key = Qt::Key_0 + (ch.unicode() - '0');
        else if (ch == QLatin1Char(' '))
            key = Qt::Key_Space;
        PressKey(widget, key, QString(ch));
    }
}

// Answers every message box that comes up with OK, noting what it showed.
class MessageBoxWatcher {
public:
    struct Shown {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };

    MessageBoxWatcher()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            shown_.push_back(Shown{box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        });
        timer_.start();
    }

    const std::vector<Shown>& ShownBoxes() const { return shown_; }

private:
    QTimer timer_;
    std::vector<Shown> shown_;
};

}  // namespace norvik::test
