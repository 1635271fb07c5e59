#include "platform/strings.h"

#include "platform/errors.h"

#include <QFile>
#include <QHash>
#include <QLocale>
#include <optional>

namespace {

struct Table {
    QHash<int, QString> english;
    QHash<int, QString> italian;
};

QString unescape(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar e = s[++i];
            if (e == u'n')
                out += u'\n';
            else if (e == u't')
                out += u'\t';
            else if (e == u'r')
                out += u'\r';
            else
                out += e;
        } else {
            out += s[i];
        }
    }
    return out;
}

const Table& table() {
    static const Table t = [] {
        Table tb;
        QFile f(QStringLiteral(":/strings.tsv"));
        if (!f.open(QIODevice::ReadOnly))
            return tb;
        const QStringList lines = QString::fromUtf8(f.readAll()).split(u'\n');
        for (const QString& raw : lines) {
            QString line = raw;
            if (line.endsWith(u'\r'))
                line.chop(1);
            const QStringList cols = line.split(u'\t');
            bool ok = false;
            const int id = cols.value(0).toInt(&ok);
            if (!ok)
                continue; // header or blank line
            if (cols.size() > 1)
                tb.english.insert(id, unescape(cols[1]));
            if (cols.size() > 2 && !cols[2].isEmpty())
                tb.italian.insert(id, unescape(cols[2]));
        }
        return tb;
    }();
    return t;
}

// Picked on first use rather than at static initialisation, so that the
// system locale is read once the process is set up.
std::optional<Language> gLanguage;

Language language() {
    if (!gLanguage)
        gLanguage = systemLanguage();
    return *gLanguage;
}

} // namespace

Language systemLanguage() {
    const QStringList langs = QLocale::system().uiLanguages();
    const QString first = langs.isEmpty() ? QLocale::system().name() : langs.first();
    // "it", "it-IT", "it_CH": compare the language, not a text prefix.
    return QLocale(first).language() == QLocale::Italian ? Language::Italian : Language::English;
}

void setLanguage(Language lang) {
    gLanguage = lang;
}
Language currentLanguage() {
    return language();
}

bool tryLoadResString(int id, Language lang, QString& out) {
    const Table& t = table();
    const auto& h = lang == Language::Italian ? t.italian : t.english;
    const auto it = h.constFind(id);
    if (it == h.constEnd())
        return false;
    out = *it;
    return true;
}

bool tryLoadResString(int id, QString& out) {
    const Language lang = language();
    if (tryLoadResString(id, lang, out))
        return true;
    // Ids without an Italian row (the tips) fall back to English.
    return lang == Language::Italian && tryLoadResString(id, Language::English, out);
}

QString loadResString(int id) {
    QString s;
    if (!tryLoadResString(id, s))
        raiseError(ErrNum::MissingResource,
                   QStringLiteral("Resource with identifier '%1' not found").arg(id));
    return s;
}

int stringCount(Language lang) {
    const Table& t = table();
    return int((lang == Language::Italian ? t.italian : t.english).size());
}
