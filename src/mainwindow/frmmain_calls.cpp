#include "addressbooks/records.h"
#include "app/convert.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/strings.h"
#include "mainwindow/frmmain.h"
#include "platform/prompter.h"
#include "telephony/frmtelephonecall.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

namespace {

// The Call items and the list column each one dials.
struct CallItem {
    const char* name;
    int column;
};
constexpr CallItem kCallItems[] = {
    {"mnuContactCtxCallTel", 1},
    {"mnuContactCtxCallTel2", 3},
    {"mnuContactCtxCallTel3", 4},
};

// The recent-call sub-menus list at most this many calls.
constexpr int kMaxRecentItems = 11;

// Menu captions take "&" as a mnemonic mark; numbers and names show it as is.
QString menuText(const QString& s) {
    QString out = s;
    return out.replace(u'&', QStringLiteral("&&"));
}

// The kind letter of a tag: its second "|"-separated part.
QString tagKind(const QString& tag) {
    return tag.section(u'|', 1, 1);
}

} // namespace

// ---------------------------------------------------------------- contact list

void frmMain::mnuContactCtxCall_Click() {
    trapErrors([&] {
        const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
        if (selected.isEmpty())
            return;
        const QTreeWidgetItem* row = selected.first();
        for (const CallItem& item : kCallItems) {
            auto* a = findChild<QAction*>(QLatin1String(item.name));
            if (!a)
                raiseError(ErrNum::ObjectNotSet);
            const QString number = row->text(item.column);
            if (!number.isEmpty()) {
                a->setText(menuText(number));
                a->setEnabled(true);
            } else {
                a->setEnabled(false);
                a->setText(loadResString(16032));
            }
        }
    });
}

void frmMain::mnuContactCtxCallTel_Click() {
    dialContactNumber(kCallItems[0].column);
}

void frmMain::mnuContactCtxCallTel2_Click() {
    dialContactNumber(kCallItems[1].column);
}

void frmMain::mnuContactCtxCallTel3_Click() {
    dialContactNumber(kCallItems[2].column);
}

void frmMain::dialContactNumber(int column) {
    trapErrors([&] {
        const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
        if (selected.isEmpty())
            return;
        const QTreeWidgetItem* row = selected.first();
        const QString tag = frmMain::itemTag(row);
        const QString kind = tagKind(tag);
        QString number;
        if (kind == QLatin1String("O"))
            number = localBookOfTag(tag)->callPrefix + row->text(column);
        else if (kind == QLatin1String("D"))
            number = dbBookOfTag(tag)->callPrefix + row->text(column);
        else if (kind == QLatin1String("R"))
            number = row->text(column); // stored with its prefix already
        dialFromMainWindow(number, row->text(0));
    });
}

void frmMain::dialFromMainWindow(const QString& number, const QString& name) {
    frmTelephoneCall* w = frmTelephoneCall::instance();
    w->setNumber(number);
    w->showWindow();
    w->showCalledIDStr(name);
    // While a call is tracked nothing is dialled: its record must keep
    // naming the party actually on the line, which is what gets logged.
    if (gCall) {
        w->DialNumber();
        return;
    }
    const QString oldName = gCallRecord.callName;
    const QString oldNumber = gCallRecord.callNumber;
    gCallRecord.callName = name;
    gCallRecord.callNumber = number;
    w->DialNumber();
    // Refused or failed: no call carries this party, and a number left in the
    // record would be taken by the next call typed by hand.
    if (!gCall && gCallRecord.callName == name && gCallRecord.callNumber == number) {
        gCallRecord.callName = oldName;
        gCallRecord.callNumber = oldNumber;
    }
}

// ---------------------------------------------------------------- manual call

void frmMain::mnuToolsManualDial_Click() {
    manualCall();
}

void frmMain::mnuSysTrayManualCall_Click() {
    manualCall();
}

void frmMain::manualCall() {
    trapErrors([&] {
        if (!gAddress) {
            Prompter::msgBox(loadResString(16006), Msg::Critical, loadResString(16007), this);
            return;
        }
        frmTelephoneCall* w = frmTelephoneCall::instance();
        w->showWindow();
        w->setNumber(QString());
    });
}

// ---------------------------------------------------------------- tray

void frmMain::fillRecentCallMenus() {
    fillRecentCallMenu("mnuSysTrayLD", 0);
    fillRecentCallMenu("mnuSysTrayLA", 1);
    fillRecentCallMenu("mnuSysTrayLU", 2);
}

void frmMain::fillRecentCallMenu(const char* menuName, int book) {
    const QString name = QLatin1String(menuName);
    auto* menu = findChild<QMenu*>(name);
    if (!menu)
        raiseError(ErrNum::ObjectNotSet);
    // Item k of the menu's item array; created on first use, never removed.
    auto item = [&](int k) {
        const QList<QAction*> items = menu->actions();
        if (k < items.size())
            return items[k];
        QAction* a = menu->addAction(QString());
        a->setObjectName(name + QStringLiteral("Items_") + QString::number(k));
        return a;
    };

    int k = 0;
    if (recentBooksExist()) {
        const auto b = recentBookAt(book);
        // Newest first. Entries with a second number are callers that no
        // book knew, and entries without a number have nothing to dial;
        // they are left out.
        for (int i = b->getContactNum() - 1; i >= 0 && k < kMaxRecentItems; --i) {
            const auto c = b->getContact(static_cast<std::int16_t>(i));
            if (!c->telephone2.isEmpty() || c->telephone.isEmpty())
                continue;
            QAction* a = item(k);
            a->setText(menuText(c->telephone + QStringLiteral(" (") + c->name + u')'));
            a->setProperty("Tag", QString::number(i));
            a->setEnabled(true);
            a->setVisible(true);
            ++k;
        }
    }
    if (k == 0) {
        QAction* first = item(0);
        first->setText(loadResString(16032));
        first->setEnabled(false);
        first->setProperty("Tag", QString());
        first->setVisible(true);
        k = 1;
    }
    // Items an earlier, longer fill wrote would show calls that are no longer
    // in the book and dial whatever entry now sits at their index.
    const QList<QAction*> items = menu->actions();
    for (int j = k; j < items.size(); ++j)
        items[j]->setVisible(false);
}

void frmMain::redialRecentCall(const char* menuName, int book, int index) {
    trapErrors([&] {
        auto* menu = findChild<QMenu*>(QLatin1String(menuName));
        if (!menu)
            raiseError(ErrNum::ObjectNotSet);
        const QList<QAction*> items = menu->actions();
        if (index < 0 || index >= items.size())
            raiseError(ErrNum::SubscriptOutOfRange);
        const std::int16_t i = convert::toInt16(items[index]->property("Tag").toString());
        const auto c = recentBookAt(book)->getContact(i);
        dialFromMainWindow(c->telephone, c->name);
    });
}

void frmMain::mnuSysTrayLDItems_Click(int index) {
    redialRecentCall("mnuSysTrayLD", 0, index);
}

void frmMain::mnuSysTrayLAItems_Click(int index) {
    redialRecentCall("mnuSysTrayLA", 1, index);
}

void frmMain::mnuSysTrayLUItems_Click(int index) {
    redialRecentCall("mnuSysTrayLU", 2, index);
}
