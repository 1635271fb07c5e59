#pragma once

// Helpers for tests that drive windows: waiting out deferred deletes,
// acting on a modal window from inside its exec(), finding named children.

#include "app/globals.h"
#include "app/settingsrecords.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/tapi.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

inline void settle() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// The one way to drive a modal window from a test: act runs once a visible
// modal window (named name, when a name is given) is on top; exec() blocks
// the test meanwhile. No such window within 5 s ends the test executable
// with the name it waited for, so a missing dialog never passes silently.
inline void whenModal(const QString& name, std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    auto deadline = std::make_shared<QDeadlineTimer>(5000);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, name, act, deadline] {
        QWidget* m = QApplication::activeModalWidget();
        if (m && m->isVisible() && (name.isEmpty() || m->objectName() == name)) {
            timer->stop();
            timer->deleteLater();
            act(m);
        } else if (deadline->hasExpired()) {
            qFatal("no modal window %s came up", qPrintable(name.isEmpty() ? QStringLiteral("(any)") : name));
        }
    });
    timer->start();
}
inline void whenModal(std::function<void(QWidget*)> act) { whenModal(QString(), std::move(act)); }

// A named child that must exist: a missing one ends the test with its name.
template <typename T = QAction> T* child(QObject* parent, const QString& name) {
    T* c = parent->findChild<T*>(name);
    if (!c)
        qFatal("no child %s in %s", qPrintable(name), qPrintable(parent->objectName()));
    return c;
}
template <typename T = QAction> T* child(QObject* parent, const char* name) {
    return child<T>(parent, QString::fromLatin1(name));
}

// Clicks a named push button as the user would (laid out first if never shown).
inline void click(QWidget* w, const char* button) {
    auto* b = child<QPushButton>(w, button);
    if (b->size().isEmpty())
        b->resize(b->sizeHint());
    QTest::mouseClick(b, Qt::LeftButton);
}

// Polls pred while the event loop runs, until it holds or ms have passed.
inline bool waitUntil(const std::function<bool()>& pred, int ms = 10000) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

// Every field as text, in declaration order, so a mismatch shows which one.
inline QStringList fields(const Preferences& p) {
    auto b = [](bool v) { return v ? QStringLiteral("1") : QStringLiteral("0"); };
    QStringList out;
    out << p.TAPIDevice << b(p.useTapi) << QString::number(p.onClose)
        << QString::number(p.multipleCall) << b(p.incomingShowWindow) << b(p.incomingPlaySound)
        << b(p.incomingShowTooltip) << p.defaultSound << QString::number(p.ringTimerInterval)
        << b(p.autoCloseOnDisconnect) << b(p.useLastDRAddressBooks) << b(p.clearDRABOnExit)
        << p.defaultPrefixesForDRAB1 << p.defaultPrefixesForDRAB2 << p.defaultPrefixesForDRAB3
        << b(p.startMinimized);
    return out;
}

// Telephony torn down after a test that may have started it.
inline void stopTelephony() {
    settle();
    if (gTAPI)
        gTAPI->Shutdown();
    gTAPI.reset();
    gAddress.reset();
    settle();
    SimLine::instance().reset();
}
