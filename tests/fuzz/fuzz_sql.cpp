// SQL builders: whatever the user typed, a statement differs from the one
// built for harmless values only inside its quoted values (and a contact id,
// a plain number): one statement, every value quoted. Values bound for a
// Database book hold no backslash (some engines escape with it). Input the
// builders refuse with the project's error is fine.
#include "addressbooks/contactedits.h"
#include "addressbooks/records.h"
#include "addressbooks/search.h"
#include "fuzzcheck.h"
#include "platform/errors.h"

#include <QRegularExpression>

// The statement with each quoted value as ? and each number as 0, blanks
// dropped; "" when a quote is left open.
static QString skeleton(QString sql, bool database) {
    static const QRegularExpression literal(QStringLiteral("'(?:[^']|'')*'")),
        number(QStringLiteral("(?<!\\w)[+-]?\\d[\\d.]*")), blank(QStringLiteral("\\s+"));
    for (const QRegularExpressionMatch& m : literal.globalMatch(sql))
        check(!database || !m.captured().contains(u'\\'), "no backslash for a Database book");
    sql.replace(literal, QStringLiteral("?")).replace(number, QStringLiteral("0")).remove(blank);
    return sql.contains(u'\'') ? QString() : sql;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const std::int16_t field = data[0] % 5 - 1, mode = data[1] % 6 - 1;
    QStringList v = QString::fromUtf8(bytes(data + 3, size - 3)).split(QChar(1));
    v.resize(8);
    DatabaseAddressBook b;
    b.Clear();
    b.tableName = QStringLiteral("People");
    b.nameField = QStringLiteral("Name");
    b.telephoneField = QStringLiteral("Phone");
    b.emailField = QStringLiteral("Mail");
    b.contactid = QStringLiteral("Id");
    QString* optional[] = {&b.telephone2, &b.telephone3, &b.email2, &b.freetext};
    for (int k = 0; k < 4; ++k)
        if (data[2] & (1 << k))
            *optional[k] = QStringLiteral("Col%1").arg(k);
    QStringList h; // harmless values: empty stays empty (NULL), others become "v"
    for (const QString& x : v)
        h.append(x.isEmpty() ? x : QStringLiteral("v"));
    h[7] = QStringLiteral("1"); // the id: a plain number
    const Contact c{v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]};
    const Contact safe{h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7]};
    auto same = [](bool database, const auto& build) {
        QString sql;
        try {
            sql = build(false);
        } catch (const AppError&) {
            return;
        }
        const QString shape = skeleton(sql, database);
        check(!shape.isEmpty() && shape == skeleton(build(true), database),
              "values stay inside their quotes");
    };
    same(false, [&](bool hm) { return localSearchSQL(hm ? h[0] : v[0], field, mode); });
    same(true, [&](bool hm) { return databaseSearchSQL(b, hm ? h[0] : v[0], field, mode); });
    for (auto f : {&ContactSQL::addLocal, &ContactSQL::updateLocal, &ContactSQL::deleteLocal})
        same(false, [&](bool hm) { return f(hm ? safe : c); });
    for (auto f :
         {&ContactSQL::addDatabase, &ContactSQL::updateDatabase, &ContactSQL::deleteDatabase})
        same(true, [&](bool hm) { return f(b, hm ? safe : c); });
    return 0;
}
