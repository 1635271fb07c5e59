// What the user reads: the string table in both languages, the language
// picked from the environment, localizeForm, and the error report and log.

#include "addressbooks/dbfunctions.h"
#include "app/errorreport.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/settings.h"
#include "app/strings.h"
#include "common/testenv.h"
#include "platform/errors.h"
#include "platform/prompter.h"
#include "platform/settingsstore.h"
#include "platform/shell.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

QString text(int id, Language lang) {
    QString s;
    return tryLoadResString(id, lang, s) ? s : u"<missing>"_s;
}

// A control with Tag tag (null: none), tooltip tip and caption "design".
template <typename W> W* add(QWidget* parent, const char* name, const QString& tag, const QString& tip = {}) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    if (!tag.isNull())
        w->setProperty("Tag", tag);
    w->setToolTip(tip);
    w->setProperty(qobject_cast<QGroupBox*>(w) ? "title" : "text", u"design"_s);
    parent->layout()->addWidget(w);
    return w;
}
QAction* action(QWidget* menu, const char* name, const QString& caption, const QString& tag = {}) {
    auto* a = new QAction(caption, menu);
    a->setObjectName(QString::fromLatin1(name));
    if (!tag.isNull()) { // a toolbar button: tooltip id in the tooltip, caption id in Tag
        a->setToolTip(caption);
        a->setProperty("Tag", tag);
        a->setText(u"design"_s);
    }
    menu->addAction(a);
    return a;
}
QIcon designIcon() {
    QPixmap pm(16, 16);
    pm.fill(Qt::magenta);
    return QIcon(pm);
}

// One control of each kind the localisation knows.
std::unique_ptr<QMainWindow> makeWindow(const QString& tag) {
    auto w = std::make_unique<QMainWindow>();
    w->setWindowTitle(u"design title"_s);
    w->setWindowIcon(designIcon());
    if (!tag.isNull())
        w->setProperty("Tag", tag);
    QMenu* file = w->menuBar()->addMenu(u"11001"_s);
    file->setObjectName(u"mnuFile"_s);
    action(file, "mnuFileSearch", u"11003"_s);
    file->addSeparator()->setObjectName(u"mnuFileSep"_s);
    action(file, "mnuFileWord", u"Recent"_s);
    action(file, "mnuFileMissing", u"11999"_s);
    action(file->addMenu(u"11021"_s), "mnuToolsBooks", u"11022"_s);
    action(new QMenu(w.get()), "mnuShow", u"11081"_s); // a pop-up menu of the window
    QToolBar* tb = w->addToolBar(u"tb"_s);
    action(tb, "tbBooks", u"17001"_s, u"17001"_s);
    action(tb, "tbPlain", u"Plain tip"_s, u"17002abc"_s);
    auto* central = new QWidget(w.get());
    new QVBoxLayout(central);
    w->setCentralWidget(central);
    const std::pair<const char*, QString> labels[] = {{"lblEmpty", u""_s}, {"lblName", u"13010"_s},
        {"lblLeading", u"13010abc"_s}, {"lblBlanks", u" 13011 "_s}, {"lblMissing", u"13009"_s}};
    for (const auto& [name, t] : labels)
        add<QLabel>(central, name, t);
    const std::tuple<const char*, QString, QString> buttons[] = {{"cmdZero", u"0"_s, u"0"_s},
        {"cmdWord", u"Close"_s, u"Ordinary tip"_s}, {"cmdLeading", u"14003abc"_s, u"17002 search"_s},
        {"cmdRoundHalf", u"14004.5"_s, {}}, {"cmdNegative", u"-14003"_s, u"-17002"_s},
        {"cmdTipOnly", QString(), u"17006"_s}};
    for (const auto& [name, t, tip] : buttons)
        add<QPushButton>(central, name, t, tip);
    auto* frame = add<QGroupBox>(central, "frmIncoming", u"13025"_s);
    new QVBoxLayout(frame);
    add<QCheckBox>(frame, "cbPlaySound", u"13027"_s);
    add<QLineEdit>(central, "txtNumber", u"13010"_s, u"16031"_s);
    auto* tabs = add<QTabWidget>(central, "tsTabs", QString());
    for (const char* tip : {"13019", "Ordinary tip", ""})
        tabs->setTabToolTip(tabs->addTab(new QWidget, u"design"_s), QString::fromLatin1(tip));
    new QVBoxLayout(tabs->widget(0));
    tabs->setProperty("TabTags", QStringList{u"13017"_s, u"13017abc"_s});
    add<QLabel>(tabs->widget(0), "lblOnTab", u"13024"_s);
    auto* lv = add<QTreeWidget>(central, "lvContacts", QString());
    lv->setHeaderLabels({u"design"_s, u"design"_s});
    lv->setProperty("ColumnTags", QStringList{u"13010"_s, u"x"_s, u"13014"_s});
    auto* owned = new QDialog(w.get()); // another window: left to its own load
    new QVBoxLayout(owned);
    add<QLabel>(owned, "lblOwned", u"13010"_s);
    return w;
}

// Caption and tooltip of a control; "name:i" is tab or column i.
QString seen(QMainWindow* w, const QString& name) {
    QObject* o = w->findChild<QObject*>(name.section(u':', 0, 0));
    const int i = name.section(u':', 1).toInt();
    if (auto* t = qobject_cast<QTabWidget*>(o))
        return t->tabText(i) + u'/' + t->tabToolTip(i);
    if (auto* v = qobject_cast<QTreeWidget*>(o))
        return v->headerItem()->text(i) + u'/' + QString::number(v->columnCount());
    if (auto* m = qobject_cast<QMenu*>(o))
        return m->title() + u'/' + m->toolTip();
    const QString tip = o->property("toolTip").toString();
    return o->property(o->property("title").isValid() ? "title" : "text").toString() + u'/' +
           (qobject_cast<QAction*>(o) && !o->property("Tag").isValid() ? u"-"_s : tip);
}

QByteArray logBytes() {
    QFile f(errorLogPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TstTexts : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setLanguage(Language::English); }

    // One row per id, three columns; every id in English and, but for the
    // tips, in Italian; samples through the current language.
    void everyRowInBothLanguages() {
        QFile f(sourceDir() + u"/resources/strings.tsv"_s);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), u"id\tEnglish\tItalian"_s);
        QSet<int> seen;
        for (const QString& line : lines.mid(1)) {
            const QStringList cols = line.split(u'\t');
            const int id = cols[0].toInt();
            const bool tip = id >= 20001 && id <= 20010;
            QVERIFY2(cols.size() == 3 && id > 0 && !seen.contains(id), qPrintable(line));
            seen.insert(id);
            QVERIFY2(!text(id, Language::English).trimmed().isEmpty(), qPrintable(line));
            QVERIFY2(text(id, Language::Italian) == u"<missing>" ? tip
                     : !tip && !text(id, Language::Italian).trimmed().isEmpty(), qPrintable(line));
        }
        QCOMPARE(stringCount(Language::English), seen.size());
        QCOMPARE(stringCount(Language::Italian), seen.size() - 10);
        QVERIFY(text(20005, Language::English).contains(QRegularExpression(u"support@[a-z]+\\.example\\b"_s)));
        const std::tuple<int, const char*, const char*> samples[] = {
            {16014, "Do you want to hide windows insted of close ?",
             "Vuoi nascondere le finestre invece di chiuderle ?"},
            {16033, "The program is already running", "Il programma è già in esecuzione"},
            {20006, "A personal address book can be made. Go to Address Book and choose Add Local.",
             nullptr}};
        for (const auto& [id, en, it] : samples) {
            setLanguage(Language::Italian);
            QCOMPARE(loadResString(id), QString::fromUtf8(it ? it : en));
            setLanguage(Language::English);
            QCOMPARE(loadResString(id), QString::fromUtf8(en));
        }
        QString out = u"kept"_s;
        QVERIFY(!tryLoadResString(16012, out) && out == u"kept");
        QVERIFY_THROWS_EXCEPTION(AppError, loadResString(16012));
    }

    // The interface language comes from the environment of the process.
    void systemLanguage() {
        const std::tuple<const char*, const char*, const char*> rows[] = {
            {"", "it_CH.UTF-8", "it"}, {"en:it", "it_IT.UTF-8", "en"}};
        for (const auto& [language, lcAll, expected] : rows) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const char* v : {"LANGUAGE", "LC_MESSAGES", "LANG"})
                env.remove(QString::fromLatin1(v));
            if (*language)
                env.insert(u"LANGUAGE"_s, QString::fromLatin1(language));
            env.insert(u"LC_ALL"_s, QString::fromLatin1(lcAll));
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(QCoreApplication::applicationFilePath(), {u"--system-language"_s});
            QVERIFY(p.waitForFinished(30000));
            QCOMPARE(p.readAllStandardOutput().trimmed(), QByteArray(expected));
        }
    }

    // Name, then caption / tooltip after localising (twice changes nothing);
    // "-": a menu item's tooltip follows its caption.
    void localizeForm() {
        const std::pair<const char*, const char*> rows[] = {
            // Labels: the whole Tag must be an id; an empty one does not stop the next.
            {"lblEmpty", "design/"}, {"lblName", "Name/"}, {"lblLeading", "design/"},
            {"lblBlanks", "Telephone/"}, {"lblMissing", "design/"},
            // Other controls: the leading number of Tag and tooltip, rounded.
            {"cmdZero", "design/0"}, {"cmdWord", "design/Ordinary tip"},
            {"cmdLeading", "&Close/Search"}, {"cmdRoundHalf", "&Add.../"},
            {"cmdNegative", "design/-17002"}, {"cmdTipOnly", "design/Help"},
            {"frmIncoming", "Incoming call/"}, {"cbPlaySound", "Play Sound/"},
            {"txtNumber", "design/Not Found"}, // a text box has no caption
            // Menus: the design-time caption is the id.
            {"mnuFile", "&File/"}, {"mnuFileSearch", "&Search.../-"}, {"mnuFileSep", "/-"},
            {"mnuFileWord", "Recent/-"}, {"mnuFileMissing", "11999/-"},
            {"mnuToolsBooks", "&Address Books.../-"}, {"mnuShow", "&Show/-"},
            {"tbBooks", "Address books/Address books"}, {"tbPlain", "design/Plain tip"},
            {"tsTabs:0", "&General/TAPI"}, {"tsTabs:1", "design/Ordinary tip"}, {"tsTabs:2", "design/"},
            {"lvContacts:0", "Name/2"}, {"lvContacts:1", "design/2"},
            {"lblOnTab", "TAPI Device :/"}, {"lblOwned", "design/"},
            {"it:mnuShow", "&Mostra/-"}, {"it:cmdLeading", "&Chiudi/Cerca"}};
        for (const auto& [name, expected] : rows) {
            const QString n = QString::fromLatin1(name);
            setLanguage(n.startsWith(u"it:") ? Language::Italian : Language::English);
            auto w = makeWindow(u"15005"_s);
            ::localizeForm(w.get());
            ::localizeForm(w.get());
            QCOMPARE(seen(w.get(), n.startsWith(u"it:") ? n.mid(3) : n), QString::fromUtf8(expected));
        }
    }

    // Title and icon from the window's Tag; "" keeps the design-time icon.
    void windowTitleAndIcon() {
        const std::tuple<const char*, const char*, const char*> rows[] = {
            {"15005", "Tamrivo", ":/icons/15005.png"}, {"15009", "Local Address Book", ""},
            {"About", "design title", ""},
            {"15004", "design title", ":/icons/15004.png"}};
        for (const auto& [tag, title, icon] : rows) {
            auto w = makeWindow(QString::fromLatin1(tag));
            ::localizeForm(w.get());
            QCOMPARE(w->windowTitle(), QString::fromLatin1(title));
            const QIcon expected = *icon ? QIcon(QString::fromLatin1(icon)) : designIcon();
            QCOMPARE(w->windowIcon().pixmap(32, 32).toImage(), expected.pixmap(32, 32).toImage());
        }
    }

    // Messages the program adds speak Italian: a Local book that is a folder (not "Could not
    // find"), one there already, a damaged file, a bad setting, a page nothing opens.
    void addedMessagesInItalian() {
        const std::pair<std::function<void()>, const char*> rows[] = {
            {[] { openLocalBook(u"."_s); }, "'.' non è un file regolare"}, {[] { createLocalAddressBook(u"."_s); }, "' esiste già."},
            {[] { SettingsStore::parse("[prefs]\nk\n", u"f"_s); }, "f è danneggiato alla riga 2: manca ="},
            {[] { readNumberSetting(u"prefs"_s, u"k"_s, u"x"_s); }, "L'impostazione k della sezione prefs contiene 'x': non"},
            {[] { Shell::setRecording(false); Shell::open(QUrl(u"https://example.invalid"_s)); },
             "Impossibile aprire: Nessun programma di questo desktop può aprire https://example.invalid"}};
        for (const auto& [act, expected] : rows) {
            setLanguage(Language::Italian);
            TestEnv env;
            const AppError e = caught(act);
            const auto box = Prompter::records().value(0);
            const QString seen = box.text.isEmpty() ? e.description() : box.title + u": "_s + box.text;
            QVERIFY2(seen.contains(QString::fromUtf8(expected)), qPrintable(seen));
        }
    }

    // ---- the error report

    void logLineFormat() {
        const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        const QString line = errorLogLine(u"a \"b\""_s, 13, u"Type\nmismatch"_s);
        QVERIFY2(QRegularExpression(u"^\"\\Q"_s + today +
                                    u"\\E \\d{1,2}[:.]\\d{2}[:.]\\d{2}( ?[AaPp]\\.?[Mm]\\.?)? "
                                    "a \"b\" 13 Type\nmismatch\"\r\n$"_s)
                     .match(line).hasMatch(), qPrintable(line));
    }

    // Log on: one line per error and no box; log off: a box above 1000 only.
    // A log that cannot be written never throws.
    void reportAndLog() {
        const std::tuple<bool, int, bool> rows[] = {
            {true, 3146, false}, {false, 1000, false}, {false, int(ErrNum::TelephonyFailed), false},
            {false, 1001, true}};
        for (const auto& [logging, number, shown] : rows) {
            TestEnv env;
            gExtendedErrors = logging;
            reportError(u"dontknow"_s, AppError(number, u"Broke"_s, u"DB"_s));
            QVERIFY(!trapErrors([] { throw std::runtime_error("boom"); }));
            QVERIFY(trapErrors([] {}));
            const QList<QByteArray> lines = logBytes().split('\n');
            QCOMPARE(lines.size(), logging ? 3 : 1);
            QVERIFY(!logging || lines[0].endsWith(QStringLiteral(" dontknow %1 Broke\"\r").arg(number).toUtf8()));
            QVERIFY(!logging || lines[1].endsWith(" dontknow 51 boom\"\r"));
            QCOMPARE(Prompter::records().size(), shown ? 1 : 0);
            if (shown)
                QCOMPARE(Prompter::records().first().text + u'/' + Prompter::records().first().title,
                         u"%1 Broke DB/Tamrivo Error"_s.arg(number));
        }
        TestEnv env;
        gExtendedErrors = true;
        QFile plain(env.file(u"plain"_s));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        setErrorLogFolder(env.file(u"plain/sub"_s));
        reportError(u"dontknow"_s, AppError(13, u"Type mismatch"_s));
        QVERIFY(Prompter::records().isEmpty());
        setErrorLogFolder(QString());
        QCOMPARE(errorLogPath(), QCoreApplication::applicationDirPath() + u"/Tamrivo.Err"_s);
        // Shown without waiting, one box at a time: a text not in it yet is added to it.
        gExtendedErrors = false;
        Prompter::setMode(Prompter::Mode::Dialog);
        for (const QString& d : {u"One"_s, u"Two"_s, u"One"_s})
            reportError(u"dontknow"_s, AppError(3146, d));
        QCOMPARE(QApplication::topLevelWidgets().size(), 1);
        const QPointer box = qobject_cast<QMessageBox*>(QApplication::topLevelWidgets()[0]);
        QCOMPARE(box->text(), u"3146 One Tamrivo\n\n3146 Two Tamrivo"_s);
        QVERIFY(!QApplication::activeModalWidget());
        box->button(QMessageBox::Ok)->click();
        QTRY_VERIFY(!box); // gone, not left hidden
    }
};

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--system-language") == 0) {
        QCoreApplication app(argc, argv);
        std::puts(::systemLanguage() == Language::Italian ? "it" : "en");
        return 0;
    }
    QApplication app(argc, argv);
    TstTexts t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_texts.moc"
