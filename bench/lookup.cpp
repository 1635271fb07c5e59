// Caller-ID lookup and name search against one Local book and one ODBC book
// (an SQLite file through the SQLite3 driver) of 1,000, 10,000 and 100,000
// contacts with three numbers each.
#include "addressbooks/dbfunctions.h"
#include "addressbooks/search.h"
#include "app/globals.h"
#include "platform/dbsession.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <map>

namespace {

QTemporaryDir* gDir = nullptr;

QString fillStatement(const QString& table, const QString& columns, int n) {
    // Built by concatenation: the printf formats must not meet QString::arg.
    return QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + columns +
           QStringLiteral(
               ") WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM c WHERE i<") +
           QString::number(n) +
           QStringLiteral(
               ") SELECT printf('Contact %06d', i), printf('0%09d', i), printf('39%010d', i), "
               "printf('06%08d', i) FROM c");
}

struct Books {
    std::shared_ptr<LocalAddressBook> local;
    std::shared_ptr<DatabaseAddressBook> database;
};

const Books& books(int n) {
    static std::map<int, Books> made;
    auto it = made.find(n);
    if (it != made.end())
        return it->second;
    Books b;
    b.local = std::make_shared<LocalAddressBook>();
    b.local->filename = gDir->filePath(QStringLiteral("book%1.lab").arg(n));
    b.local->searchForCallerID = true;
    createLocalAddressBook(b.local->filename);
    executeLocalBook(b.local->filename,
                     fillStatement(QStringLiteral("TAMRIVO"),
                                   QStringLiteral("NAME,TELEPHONE,TELEPHONE2,TELEPHONE3"), n));

    const QString dsn = QStringLiteral("people%1").arg(n);
    const QString db = gDir->filePath(dsn + QStringLiteral(".db"));
    {
        DbSession s(DbSession::Kind::Sqlite,
                    QStringLiteral("file:") + db + QStringLiteral("?mode=rwc"));
        s.execute(QStringLiteral(
            "CREATE TABLE People (Id INTEGER PRIMARY KEY, Name TEXT, Phone TEXT, Mobile TEXT, "
            "Office TEXT, Mail TEXT)"));
        s.execute(
            fillStatement(QStringLiteral("People"), QStringLiteral("Name,Phone,Mobile,Office"), n));
    }
    QFile ini(qEnvironmentVariable("ODBCINI"));
    if (!ini.open(QIODevice::Append | QIODevice::Text))
        qFatal("cannot write odbc.ini");
    ini.write(QStringLiteral("[%1]\nDriver=SQLite3\nDatabase=%2\n\n").arg(dsn, db).toUtf8());
    ini.close();
    b.database = std::make_shared<DatabaseAddressBook>();
    b.database->Clear();
    b.database->dsn = dsn;
    b.database->tableName = QStringLiteral("People");
    b.database->nameField = QStringLiteral("Name");
    b.database->telephoneField = QStringLiteral("Phone");
    b.database->telephone2 = QStringLiteral("Mobile");
    b.database->telephone3 = QStringLiteral("Office");
    b.database->emailField = QStringLiteral("Mail");
    b.database->contactid = QStringLiteral("Id");
    b.database->searchForCallerID = true;
    return made.emplace(n, b).first->second;
}

void useOnly(const std::shared_ptr<LocalAddressBook>& local,
             const std::shared_ptr<DatabaseAddressBook>& db) {
    resetGlobals();
    if (local) {
        gLocalBooks = {local};
        noLocalBooks = false;
    }
    if (db) {
        gDBBooks = {db};
        noDBBooks = false;
    }
}

// The number of the contact in the middle, as the telephone line sends it.
QString middleNumber(int n) {
    return QStringLiteral("0%1").arg(n / 2, 9, 10, QLatin1Char('0'));
}

void lookupIn(benchmark::State& state, bool local) {
    const int n = int(state.range(0));
    const Books& b = books(n);
    local ? useOnly(b.local, nullptr) : useOnly(nullptr, b.database);
    const QString number = middleNumber(n);
    for (auto _ : state) {
        const QString name = lookupCallerID(number);
        if (name != QStringLiteral("Contact %1").arg(n / 2, 6, 10, QLatin1Char('0')))
            state.SkipWithError("wrong contact found");
        benchmark::DoNotOptimize(name);
    }
}

void searchIn(benchmark::State& state, bool local) {
    const int n = int(state.range(0));
    const Books& b = books(n);
    local ? useOnly(b.local, nullptr) : useOnly(nullptr, b.database);
    // Matches the ten contacts 000120..000129 of every size.
    const QString text = QStringLiteral("act 00012");
    for (auto _ : state) {
        DBSearchResult r = searchAddressBooks(text, SearchField::Name, SearchMode::Contains);
        if (r.num() != 10)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(r);
    }
}

void BM_LookupLocal(benchmark::State& s) {
    lookupIn(s, true);
}
void BM_LookupOdbc(benchmark::State& s) {
    lookupIn(s, false);
}
void BM_SearchNameContainsLocal(benchmark::State& s) {
    searchIn(s, true);
}
void BM_SearchNameContainsOdbc(benchmark::State& s) {
    searchIn(s, false);
}

} // namespace

#define SIZES ->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Repetitions(5)
BENCHMARK(BM_LookupLocal) SIZES;
BENCHMARK(BM_LookupOdbc) SIZES;
BENCHMARK(BM_SearchNameContainsLocal) SIZES;
BENCHMARK(BM_SearchNameContainsOdbc) SIZES;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    gDir = &dir;
    qputenv("ODBCINI", dir.filePath(QStringLiteral("odbc.ini")).toLocal8Bit());
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    resetGlobals();
    return 0;
}
