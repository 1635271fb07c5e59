#pragma once

// Drives the modal contact dialog from inside its show: a timer finds the
// shown dialog and runs the next scripted action on it.

#include "addressbooks/records.h"
#include "mainwindow/frmcontact.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace ctxtest {

// The eight boxes of a contact window in field order.
inline QStringList boxTexts(QWidget* w) {
    QStringList out;
    for (const char* name :
         {"txtName", "txtTelephone", "txtEmail", "txtTelephone2", "txtTelephone3", "txtEmail2"})
        out << w->findChild<QLineEdit*>(QLatin1String(name))->text();
    out << w->findChild<QPlainTextEdit*>(QStringLiteral("txtFreeText"))->toPlainText();
    out << w->findChild<QLineEdit*>(QStringLiteral("txtContactID"))->text();
    return out;
}

inline QStringList fields(const Contact& c) {
    return {c.name,       c.telephone, c.email,    c.telephone2,
            c.telephone3, c.email2,    c.freetext, c.contactid};
}

inline Contact contactOf(const QStringList& f) {
    return {f.value(0), f.value(1), f.value(2), f.value(3),
            f.value(4), f.value(5), f.value(6), f.value(7)};
}

class DialogDriver {
public:
    using Action = std::function<void(frmContact*)>;

    DialogDriver() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }
    // One action per showing; with none left the dialog is cancelled so a
    // test never hangs on it.
    void push(Action a) { m_actions.append(std::move(a)); }
    int shown() const { return m_shown.size(); }
    // The boxes as they stood when the dialog came up, per showing.
    const QList<QStringList>& shownBoxes() const { return m_shown; }

    // Save, typing the text into the box first when one is named.
    static Action save(const QString& box = QString(), const QString& text = QString()) {
        return [box, text](frmContact* d) {
            if (!box.isEmpty()) {
                auto* edit = d->findChild<QLineEdit*>(box);
                edit->clear();
                QTest::keyClicks(edit, text);
            }
            QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdSave")),
                              Qt::LeftButton);
        };
    }
    // "cancel", "escape" or "close" (the window box).
    static Action dismiss(const QString& how) {
        return [how](frmContact* d) {
            if (how == u"escape")
                QTest::keyClick(d, Qt::Key_Escape);
            else if (how == u"close")
                d->close();
            else
                QTest::mouseClick(d->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                                  Qt::LeftButton);
        };
    }

private:
    void poll() {
        frmContact* d = frmContact::loadedInstance();
        if (!d || !d->isVisible() || m_busy)
            return;
        m_busy = true;
        m_shown.append(boxTexts(d));
        Action a = m_actions.isEmpty() ? dismiss("cancel") : m_actions.takeFirst();
        a(d);
        m_busy = false;
    }

    QTimer m_timer;
    QList<Action> m_actions;
    QList<QStringList> m_shown;
    bool m_busy = false;
};

} // namespace ctxtest
