#include "platform/errors.h"
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

    // The file: one row per id, three columns, nothing a later row would
    // silently replace; every id in English, and in Italian but for the tips.
    void everyRowInBothLanguages() {
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
            QString en, it;
            QVERIFY2(tryLoadResString(id, Language::English, en) && !en.trimmed().isEmpty(),
                     qPrintable(line));
            QCOMPARE(tryLoadResString(id, Language::Italian, it), !isTip(id));
            QVERIFY2(isTip(id) || !it.trimmed().isEmpty(), qPrintable(line));
        }
        QCOMPARE(seen.size(), 193);
        QCOMPARE(stringCount(Language::English), 193);
        QCOMPARE(stringCount(Language::Italian), 183);
        for (int tip = 20001; tip <= 20010; ++tip)
            QVERIFY(seen.contains(tip));
    }

    void sampleRows_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("italian");
        const auto row = [](const char* name, int id, const char* en, const char* it) {
            QTest::newRow(name) << id << QString(en) << QString(it);
        };
        row("about button", 1019, "&System Info...", "&Informazioni di sistema...");
        row("plugins menu", 11025, "Plu&gins...", "&Plug-in...");
        row("tray show", 11081, "&Show", "&Mostra");
        row("tray hide", 11083, "&Hide", "&Nascondi");
        row("fields mapping", 13031, "Fields mapping (&1)", "Corrispondenza campi (&1)");
        row("cancel", 14002, "Cancel", "Annulla");
        row("books title", 15001, "Address Books", "Rubriche");
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
