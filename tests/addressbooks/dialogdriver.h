#pragma once

// Drives modal dialogs from inside their own event loop: the action runs once
// the named window is the active modal window.

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace dialogtest {

// Runs action(window) once a visible modal window named name is on top.
// Answers a flag that tells whether it ran. Gives up after about 5 s.
inline std::shared_ptr<bool> whenModal(const QString& name, std::function<void(QWidget*)> action) {
    auto ran = std::make_shared<bool>(false);
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, name, action, ran, tries] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || w->objectName() != name || !w->isVisible()) {
            if (++*tries > 1000) {
                timer->stop();
                timer->deleteLater();
            }
            return;
        }
        timer->stop();
        timer->deleteLater();
        *ran = true;
        action(w);
    });
    timer->start();
    return ran;
}

// Lets unloaded windows go.
inline void settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

template <class T> T* child(QWidget* w, const QString& name) {
    T* c = w->findChild<T*>(name);
    if (!c)
        qWarning("no control %s in %s", qPrintable(name), qPrintable(w->objectName()));
    return c;
}

inline void click(QWidget* w, const QString& button) {
    if (auto* b = child<QPushButton>(w, button)) {
        // A window never shown has not laid its controls out yet.
        if (b->size().isEmpty())
            b->resize(b->sizeHint());
        QTest::mouseClick(b, Qt::LeftButton);
    }
}

inline void setText(QWidget* w, const QString& box, const QString& text) {
    if (auto* e = child<QLineEdit>(w, box))
        e->setText(text);
}

inline QString text(QWidget* w, const QString& box) {
    auto* e = child<QLineEdit>(w, box);
    return e ? e->text() : QStringLiteral("<missing>");
}

// Ends a modal dialog the way the user chose: "OK", "Cancel", "Escape",
// "Enter" or "box" (the window box).
inline void finish(QWidget* w, const QString& how) {
    if (how == QLatin1String("OK"))
        click(w, QStringLiteral("OKButton"));
    else if (how == QLatin1String("Cancel"))
        click(w, QStringLiteral("CancelButton"));
    else if (how == QLatin1String("Escape"))
        QTest::keyClick(w, Qt::Key_Escape);
    else if (how == QLatin1String("Enter"))
        QTest::keyClick(child<QLineEdit>(w, QStringLiteral("txtAddressBookName")), Qt::Key_Return);
    else
        w->close();
}

} // namespace dialogtest
