#include "app/errors.h"
#include "app/strings.h"
#include "common/testenv.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <cstdio>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Every id the program uses, in table order.
const int kIds[] = {
    1019,  1020,  11001, 11002, 11003, 11021, 11022, 11023, 11024, 11025, 11041, 11042, 11043,
    11061, 11062, 11063, 11064, 11065, 11081, 11082, 11083, 11084, 11085, 11086, 11087, 11101,
    11102, 11103, 11105, 11121, 11122, 13001, 13002, 13003, 13004, 13005, 13006, 13007, 13008,
    13010, 13011, 13012, 13013, 13014, 13015, 13016, 13017, 13019, 13020, 13021, 13022, 13023,
    13024, 13025, 13026, 13027, 13028, 13030, 13031, 13032, 13033, 13034, 13035, 13036, 13037,
    13038, 13039, 13040, 13041, 13042, 13043, 13044, 13045, 13046, 13047, 13048, 13050, 13051,
    13052, 13053, 13054, 13055, 13056, 13059, 13060, 13071, 13073, 14001, 14002, 14003, 14004,
    14005, 14008, 14009, 14014, 14015, 14016, 14017, 14018, 14019, 14020, 14021, 14022, 14023,
    14024, 14025, 14027, 15001, 15002, 15003, 15005, 15006, 15008, 15009, 15010, 15014, 15015,
    15016, 15017, 15018, 15019, 16001, 16002, 16003, 16004, 16005, 16006, 16007, 16008, 16009,
    16010, 16011, 16013, 16014, 16015, 16016, 16017, 16018, 16019, 16020, 16021, 16022, 16023,
    16024, 16025, 16026, 16027, 16028, 16029, 16030, 16031, 16032, 16033, 16034, 16035, 16036,
    16037, 16038, 16039, 16040, 16041, 16042, 16043, 16044, 16045, 16046, 16047, 16049, 16054,
    16055, 16056, 16057, 16058, 16059, 16060, 16201, 16202, 17001, 17002, 17003, 17004, 17005,
    17006, 20001, 20002, 20003, 20004, 20005, 20006, 20007, 20008, 20009, 20010};

bool isTip(int id) {
    return id >= 20001 && id <= 20010;
}

QString text(int id, Language lang) {
    QString s;
    return tryLoadResString(id, lang, s) ? s : u"<missing>"_s;
}

} // namespace

class TstStrings : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { setLanguage(Language::English); }

    void everyIdInBothLanguages() {
        QCOMPARE(int(std::size(kIds)), 193);
        QCOMPARE(stringCount(Language::English), 193);
        QCOMPARE(stringCount(Language::Italian), 183);
        for (int id : kIds) {
            QString en, it;
            QVERIFY2(tryLoadResString(id, Language::English, en) && !en.trimmed().isEmpty(),
                     qPrintable(QString::number(id)));
            QCOMPARE(tryLoadResString(id, Language::Italian, it), !isTip(id));
            if (!isTip(id))
                QVERIFY2(!it.trimmed().isEmpty(), qPrintable(QString::number(id)));
        }
    }

    // The file itself: one row per id, three columns, nothing a later row
    // would silently replace.
    void tableFileIsWellFormed() {
        QFile f(sourceDir() + u"/resources/strings.tsv"_s);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.value(0), u"id\tEnglish\tItalian"_s);
        QSet<int> seen;
        for (const QString& line : lines.mid(1)) {
            const QStringList cols = line.split(u'\t');
            QVERIFY2(cols.size() == 3, qPrintable(line));
            bool ok = false;
            const int id = cols[0].toInt(&ok);
            QVERIFY2(ok && !seen.contains(id), qPrintable(line));
            seen.insert(id);
        }
        QCOMPARE(seen.size(), 193);
    }

    void sampleRows_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("italian");
        const auto row = [](const char* name, int id, const char* en, const char* it) {
            QTest::newRow(name) << id << QString(en) << QString(it);
        };
        row("about button", 1019, "&System Info...", "&Informazioni di sistema...");
        row("file menu", 11001, "&File", "&File");
        row("plugins menu", 11025, "Plu&gins...", "&Plug-in...");
        row("tray show", 11081, "&Show", "&Mostra");
        row("tray hide", 11083, "&Hide", "&Nascondi");
        row("fields mapping", 13031, "Fields mapping (&1)", "Corrispondenza campi (&1)");
        row("ok", 14001, "Ok", "Ok");
        row("cancel", 14002, "Cancel", "Annulla");
        row("call 3", 14021, "Ca&ll...", "Chi&ama...");
        row("books title", 15001, "Address Books", "Rubriche");
        row("program", 15005, "Tamrivo", "Tamrivo");
        row("preferences", 15006, "Preferences", "Opzioni");
        row("local title", 15009, "Local Address Book", "Rubrica locale");
        row("typo kept", 16014, "Do you want to hide windows insted of close ?",
            "Vuoi nascondere le finestre invece di chiuderle ?");
        row("ringing", 16018, "Ringing...", "Chiamata entrante...");
        row("wav filter", 16021, "Wav files (*.wav)|*.wav", "File wav (*.wav)|*.wav");
        row("lab filter", 16029, "Local Address Book files (*.lab)|*.lab",
            "File rubrica locale (*.lab)|*.lab");
        row("not found", 16031, "Not Found", "Non trovato");
        row("already running", 16033, "The program is already running",
            "Il programma è già in esecuzione");
        row("already running title", 16034, "Already Running", "Già in esecuzione");
        row("last dialed", 16035, "Last Dialed", "Ultime chiamate effettuate");
        row("last received", 16036, "Last Received", "Ultime chiamate ricevute");
        row("last not answered", 16037, "Last Not Answered", "Ultime chiamate non risposte");
        row("port", 16059, "The port number must be > 0", "Il numero di porta deve essere > 0");
        row("toolbar help", 17006, "Help", "Guida");
        row("tip 1", 20001,
            "You can start Tamrivo minimized on the system tray. Click on Preferences and make "
            "your choice.",
            "<missing>");
        row("tip 10", 20010,
            "You can define many Address Books in Tamrivo. Each one can be searched for Caller ID "
            "/ Called ID informations. Click on Address books button to manage them.",
            "<missing>");
    }
    void sampleRows() {
        QFETCH(int, id);
        QFETCH(QString, english);
        QFETCH(QString, italian);
        QCOMPARE(text(id, Language::English), english);
        QCOMPARE(text(id, Language::Italian), italian);
        setLanguage(Language::English);
        QCOMPARE(loadResString(id), english);
        // The tips read in English under an Italian interface.
        setLanguage(Language::Italian);
        QCOMPARE(loadResString(id), isTip(id) ? english : italian);
    }

    void ourOwnTexts() {
        const QString tip = text(20005, Language::English);
        QVERIFY(tip.startsWith(QStringLiteral("You can connect plugins to Tamrivo to perform many "
                                              "actions. Download Tamrivo plugins or build your "
                                              "own. ")));
        QVERIFY2(tip.contains(QRegularExpression(u"support@[a-z]+\\.example\\b"_s)),
                 qPrintable(tip));
        for (Language lang : {Language::English, Language::Italian})
            QVERIFY(text(16054, lang).size() > 40);
    }

    void missingIdRaises() {
        for (Language lang : {Language::English, Language::Italian}) {
            setLanguage(lang);
            QString out = u"kept"_s;
            QVERIFY(!tryLoadResString(16012, out));
            QCOMPARE(out, u"kept"_s);
            try {
                loadResString(16012);
                QFAIL("no error raised");
            } catch (const AppError& e) {
                QCOMPARE(e.number(), ErrNum::MissingResource);
            }
        }
    }

    // The interface language comes from the environment of the process.
    void systemLanguage_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("lcAll");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* language, const char* lcAll,
                            const char* expected) {
            QTest::newRow(name) << QString(language) << QString(lcAll) << QString(expected);
        };
        row("italian locale", "", "it_IT.UTF-8", "it");
        row("swiss italian", "", "it_CH.UTF-8", "it");
        row("english locale", "", "en_US.UTF-8", "en");
        row("german locale", "", "de_DE.UTF-8", "en");
        row("c locale", "", "C", "en");
        row("italian first", "it:en", "en_US.UTF-8", "it");
        row("italian second", "en:it", "it_IT.UTF-8", "en");
    }
    void systemLanguage() {
        QFETCH(QString, language);
        QFETCH(QString, lcAll);
        QFETCH(QString, expected);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"LANGUAGE"_s);
        env.remove(u"LC_MESSAGES"_s);
        env.remove(u"LANG"_s);
        if (!language.isEmpty())
            env.insert(u"LANGUAGE"_s, language);
        env.insert(u"LC_ALL"_s, lcAll);
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QCoreApplication::applicationFilePath(), {u"--system-language"_s});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QString::fromLatin1(p.readAllStandardOutput()).trimmed(), expected);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && std::strcmp(argv[1], "--system-language") == 0) {
        std::puts(::systemLanguage() == Language::Italian ? "it" : "en");
        return 0;
    }
    TstStrings t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_strings.moc"
