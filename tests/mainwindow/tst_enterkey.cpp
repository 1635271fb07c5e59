// Enter in every window: on a focused button it presses that button; in a text box or
// a list the window's default button, or nothing. Presses are only recorded.

#include "addressbooks/frmaddressbooks.h"
#include "addressbooks/frmdatabaseaddressbook.h"
#include "addressbooks/frmldapaddressbook.h"
#include "addressbooks/frmlocaladdressbook.h"
#include "app/frmabout.h"
#include "app/frmpreferences.h"
#include "app/frmtipoftheday.h"
#include "common/testenv.h"
#include "common/widgettest.h"
#include "mainwindow/frmcontact.h"
#include "mainwindow/frmcontactotherinfo.h"
#include "mainwindow/frmsearch.h"
#include "plugins/frmpluginssetup.h"
#include "telephony/frmtelephonecall.h"
#include "telephony/frmtelephonering.h"

#include <QLineEdit>
#include <QPointer>

using Factory = std::function<QWidget*()>;
Q_DECLARE_METATYPE(Factory)

class TstEnterKey : public QObject {
    Q_OBJECT
    std::unique_ptr<TestEnv> env;
    QPointer<QWidget> window;

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        env = std::make_unique<TestEnv>();
        gPreferences = std::make_shared<Preferences>();
    }
    void cleanup() {
        delete window.data();
        settle();
        env.reset();
    }

    void enter_data() {
        QTest::addColumn<Factory>("make");
        QTest::addColumn<QString>("defaultButton"); // "": the window has none
        const auto row = [](const char* name, const char* def, Factory f) {
            QTest::newRow(name) << f << QString::fromLatin1(def);
        };
        row("contact", "cmdSave", [] { return frmContact::instance(); });
        row("contact card", "cmdClose", [] {
            frmContactOtherInfo* card = frmContactOtherInfo::instance();
            card->setBoxes(Contact{"5", "5", "5", "5", "5", "5", {}, {}}); // every button shown
            return card;
        });
        row("search", "cmdSearch", [] {
            frmSearch::showWindow(nullptr);
            return frmSearch::loadedInstance();
        });
        row("address books", "", [] { return new frmAddressBooks; });
        row("Local book", "OKButton", [] { return frmLocalAddressBook::instance(); });
        row("Database book", "OKButton", [] { return frmDatabaseAddressBook::instance(); });
        row("LDAP book", "OKButton", [] { return frmLDAPAddressBook::instance(); });
        row("preferences", "cmdOK", [] { return frmPreferences::instance(nullptr); });
        row("about", "cmdOK", [] { return new frmAbout; });
        row("tip of the day", "cmdOK", [] { return new frmTipOfTheDay; });
        row("plug-ins", "", [] { return frmPlugInsSetup::load(nullptr); });
        row("incoming call", "", [] { return frmTelephoneRing::instance(); });
        row("outgoing call", "cmdDial", [] { return frmTelephoneCall::instance(); });
    }
    void enter() {
        QFETCH(Factory, make);
        QFETCH(QString, defaultButton);
        window = make();
        QStringList pressed;
        const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
        for (QPushButton* b : buttons) {
            for (QWidget* p = b; p && p != window; p = p->parentWidget())
                p->setEnabled(true); // as when there is something to act on
            QObject::disconnect(b, nullptr, nullptr, nullptr);
            connect(b, &QPushButton::clicked, this, [&pressed, b] { pressed << b->objectName(); });
        }
        window->show();
        // Buttons on tabs not shown are shown too: each is pressed in turn.
        for (QWidget* w : window->findChildren<QWidget*>())
            if (w->isHidden() && (w->findChild<QPushButton*>() || w->findChild<QLineEdit*>()) &&
                w->objectName() != QLatin1String("closeMode"))
                w->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        const auto enterOn = [&](QWidget* w) {
            pressed.clear();
            w->setFocus(Qt::TabFocusReason);
            if (!waitUntil([w] { return w->hasFocus(); }, 2000))
                return QStringList{QStringLiteral("(no focus on ") + w->objectName() + u')'};
            QTest::keyClick(w, Qt::Key_Return);
            return pressed;
        };
        // In a text box or a list: the default button, before any button had the focus
        // (a button's turn as default must not stand in for it) and after.
        const QStringList expected(defaultButton.isEmpty() ? 0 : 1, defaultButton);
        const auto boxes = [&] {
            for (QWidget* box : window->findChildren<QWidget*>()) {
                const auto* line = qobject_cast<QLineEdit*>(box);
                if ((line ? !line->isReadOnly() : box->inherits("QAbstractItemView")) &&
                    box->isVisible() && box->isEnabled())
                    QVERIFY2(enterOn(box) == expected, qPrintable(box->objectName()));
            }
        };
        boxes();
        int tried = 0;
        for (QPushButton* b : buttons)
            if (b->isVisible() && b->isEnabled() && ++tried)
                QCOMPARE(enterOn(b), QStringList{b->objectName()});
        QVERIFY(tried >= 2);
        boxes();
    }
};

QTEST_MAIN(TstEnterKey)
#include "tst_enterkey.moc"
