#pragma once

// Helpers for tests that drive windows: waiting out deferred deletes,
// acting on a modal window from inside its exec(), finding named children.

#include "app/globals.h"
#include "app/settingsrecords.h"
#include "platform/telephony/simline.h"
#include "platform/telephony/tapi.h"

#include <QApplication>
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

// Runs act on the modal window once it is up (exec() blocks the test).
inline void whenModal(std::function<void(QWidget*)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, tries, poll] {
        if (QWidget* m = QApplication::activeModalWidget())
            act(m);
        else if (++*tries < 300)
            QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
}

// Closes every modal window by its close box while it lives.
struct ModalCloser {
    QTimer timer;
    ModalCloser() {
        QObject::connect(&timer, &QTimer::timeout, [] {
            if (QWidget* m = QApplication::activeModalWidget())
                m->close();
        });
        timer.start(10);
    }
};

template <typename T = QAction> T* child(QObject* parent, const QString& name) {
    T* c = parent->findChild<T*>(name);
    if (!c)
        qFatal("no child %s", qPrintable(name));
    return c;
}
template <typename T = QAction> T* child(QObject* parent, const char* name) {
    return child<T>(parent, QString::fromLatin1(name));
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
