#include "platform/settingsstore.h"

#include "platform/errors.h"
#include "platform/strings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

constexpr qint64 kMaxSettingsSize = 16 * 1024 * 1024;
// From this many keys on, a section's keys are found through a table.
constexpr qsizetype kManyKeys = 16;

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool needsQuoting(const QString& s, bool isName) {
    if (s.isEmpty())
        return isName;
    if (s.front().isSpace() || s.back().isSpace())
        return true;
    if (isName && (s.front() == u';' || s.front() == u'#' || s.front() == u'['))
        return true;
    for (QChar c : s) {
        if (c == u'\\' || c == u'"' || c.unicode() < 0x20)
            return true;
        if (isName && (c == u'=' || c == u']'))
            return true;
    }
    return false;
}

QString quote(const QString& s) {
    QString out = QStringLiteral("\"");
    for (QChar c : s) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '"':
            out += QStringLiteral("\\\"");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString encode(const QString& s, bool isName) {
    return needsQuoting(s, isName) ? quote(s) : s;
}

// what: the id of the text that says what is wrong with the line.
[[noreturn]] void malformed(const QString& file, qsizetype line, int what) {
    raiseError(ErrNum::SettingsRead,
               loadResString(16294).arg(file, QString::number(line), loadResString(what)),
               QStringLiteral("Settings"));
}

// textId: a text of the file (%1) and, when why is given, of the system's words (%2).
[[noreturn]] void unusable(long number, int textId, const QString& file,
                           const QString& why = QString()) {
    const QString text = loadResString(textId);
    raiseError(number, why.isNull() ? text.arg(file) : text.arg(file, why),
               QStringLiteral("Settings"));
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Lines end at CR LF, LF or a lone CR.
qsizetype lineEnd(QStringView text, qsizetype from) {
    while (from < text.size() && text[from] != u'\n' && text[from] != u'\r')
        ++from;
    return from;
}
qsizetype nextLine(QStringView text, qsizetype end) {
    return end + (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n' ? 2 : 1);
}

// The file as text in one piece; a byte that is not UTF-8 is reported with
// its line rather than replaced.
QString decode(const QByteArray& data, const QString& fileName) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(data);
    if (!utf8.hasError())
        return text;
    const QString bytes = QString::fromLatin1(data); // one character per byte, for the line breaks
    qsizetype line = 1;
    for (qsizetype start = 0; start <= bytes.size();
         start = nextLine(bytes, lineEnd(bytes, start))) {
        QStringDecoder one(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString decoded =
            one(QByteArrayView(data).sliced(start, lineEnd(bytes, start) - start));
        if (one.hasError())
            break;
        ++line;
    }
    malformed(fileName, line, 16295);
}

// Reads a quoted text starting at pos (on the opening quote); pos ends after the closing quote.
bool unquote(QStringView line, qsizetype& pos, QString& out) {
    out.clear();
    ++pos;
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == u'"')
            return true;
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (pos >= line.size())
            return false;
        const QChar e = line[pos++];
        switch (e.unicode()) {
        case '\\':
            out += u'\\';
            break;
        case '"':
            out += u'"';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        case 't':
            out += u'\t';
            break;
        case 'x': {
            // Exactly two hex digits: no sign, no blank, nothing else.
            if (pos + 2 > line.size() || !isHexDigit(line[pos]) || !isHexDigit(line[pos + 1]))
                return false;
            out += QChar(char16_t(line.sliced(pos, 2).toUShort(nullptr, 16)));
            pos += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

} // namespace

SettingsStore& SettingsStore::instance() {
    static SettingsStore store;
    return store;
}

QString SettingsStore::defaultPath() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Tamrivo/Tamrivo.ini");
}

void SettingsStore::setPath(const QString& path) {
    m_path = path;
    reload();
}

QString SettingsStore::path() const {
    return m_path.isEmpty() ? defaultPath() : m_path;
}

void SettingsStore::reload() {
    m_loaded = false;
    m_sections.clear();
    m_index = {};
}

void SettingsStore::ensureLoaded() const {
    if (m_loaded)
        return;
    const QString p = path();
    QFile f(p);
    QList<Section> sections;
    if (f.exists()) {
        // A FIFO would block the start and a device could be endless: only
        // a regular file of sane size is read.
        const QFileInfo info(p);
        if (!info.isFile())
            unusable(ErrNum::SettingsRead, 16303, p);
        if (info.size() > kMaxSettingsSize)
            unusable(ErrNum::SettingsRead, 16304, p);
        if (!f.open(QIODevice::ReadOnly))
            unusable(ErrNum::SettingsRead, 16305, p, f.errorString());
        const QByteArray data = f.read(kMaxSettingsSize + 1);
        if (data.size() > kMaxSettingsSize)
            unusable(ErrNum::SettingsRead, 16304, p);
        sections = parse(data, p, m_index);
    }
    m_sections = sections;
    m_loaded = true;
}

int SettingsStore::findSection(const QList<Section>& s, const QString& name) const {
    for (int i = 0; i < s.size(); ++i)
        if (sameName(s[i].name, name))
            return i;
    return -1;
}

std::optional<QString> SettingsStore::value(const QString& section, const QString& key) const {
    ensureLoaded();
    const qsizetype s = m_index.sections.value(section.toCaseFolded()).at;
    const qsizetype k = s < 0 ? -1 : m_index.find(m_sections, s, key);
    if (k < 0)
        return std::nullopt;
    return m_sections[s].entries[k].second;
}

qsizetype SettingsStore::Index::find(const QList<Section>& all, qsizetype s,
                                     const QString& key) const {
    if (!keys[s].isEmpty())
        return keys[s].value(key.toCaseFolded()).at;
    const auto& entries = all[s].entries;
    for (qsizetype k = 0; k < entries.size(); ++k)
        if (sameName(entries[k].first, key))
            return k;
    return -1;
}

qsizetype SettingsStore::Index::entry(QList<Section>& all, qsizetype s, const QString& key) {
    auto& entries = all[s].entries;
    if (keys[s].isEmpty()) {
        if (const qsizetype k = find(all, s, key); k >= 0)
            return k;
        entries.append({key, QString()});
        for (qsizetype k = 0; entries.size() == kManyKeys && k < kManyKeys; ++k)
            keys[s].insert(entries[k].first.toCaseFolded(), {k});
        return entries.size() - 1;
    }
    Position& at = keys[s][key.toCaseFolded()]; // one look-up, found or made
    if (at.at < 0) {
        at.at = entries.size();
        entries.append({key, QString()});
    }
    return at.at;
}

void SettingsStore::rebuildIndex() {
    m_index = {};
    for (qsizetype s = 0; s < m_sections.size(); ++s) {
        m_index.sections.insert(m_sections[s].name.toCaseFolded(), {s});
        m_index.keys.append(QHash<QString, Index::Position>());
        const auto& entries = m_sections[s].entries;
        for (qsizetype k = 0; entries.size() >= kManyKeys && k < entries.size(); ++k)
            m_index.keys[s].insert(entries[k].first.toCaseFolded(), {k});
    }
}

QString SettingsStore::read(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    return value(section, key).value_or(defaultValue);
}

bool SettingsStore::hasSection(const QString& section) const {
    ensureLoaded();
    return findSection(m_sections, section) >= 0;
}

QStringList SettingsStore::keys(const QString& section) const {
    ensureLoaded();
    QStringList out;
    const int si = findSection(m_sections, section);
    if (si >= 0)
        for (const auto& e : m_sections[si].entries)
            out << e.first;
    return out;
}

void SettingsStore::write(const QString& section, const QString& key, const QString& value) {
    ensureLoaded();
    QList<Section> next = m_sections;
    int si = findSection(next, section);
    if (si < 0) {
        next.append(Section{section, {}});
        si = int(next.size()) - 1;
    }
    bool found = false;
    for (auto& e : next[si].entries) {
        if (sameName(e.first, key)) {
            e.second = value;
            found = true;
            break;
        }
    }
    if (!found)
        next[si].entries.append({key, value});
    commit(next);
}

bool SettingsStore::deleteSection(const QString& section) {
    ensureLoaded();
    QList<Section> next = m_sections;
    const int si = findSection(next, section);
    if (si < 0)
        return false;
    next.removeAt(si);
    commit(next);
    return true;
}

void SettingsStore::replaceSection(const QString& section, const Entries& entries) {
    replaceSections({Section{section, entries}});
}

void SettingsStore::replaceSections(const QList<Section>& sections) {
    ensureLoaded();
    QList<Section> next = m_sections;
    for (const auto& section : sections) {
        Section fresh{section.name, {}};
        QHash<QString, qsizetype> seen;
        for (const auto& e : section.entries) {
            const QString folded = e.first.toCaseFolded();
            const auto it = seen.constFind(folded);
            if (it != seen.constEnd()) {
                fresh.entries[*it].second = e.second;
            } else {
                seen.insert(folded, fresh.entries.size());
                fresh.entries.append(e);
            }
        }
        const int si = findSection(next, section.name);
        if (si < 0)
            next.append(fresh);
        else
            next[si] = fresh;
    }
    commit(next);
}

void SettingsStore::commit(const QList<Section>& next) {
    const QString p = path();
    const QFileInfo info(p);
    QDir dir = info.dir();
    if (!dir.exists() && !QDir().mkpath(dir.absolutePath()))
        unusable(ErrNum::SettingsWrite, 16306, dir.absolutePath());
    // Unbuffered, so a full disk fails the write that meets it, with the
    // system's own words: a buffered write that failed at commit was taken
    // for success and left an empty or cut file.
    QSaveFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        unusable(ErrNum::SettingsWrite, 16307, p, f.errorString());
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray data = serialize(next);
    for (qsizetype done = 0; done < data.size();) {
        const qint64 n = f.write(data.constData() + done, data.size() - done);
        if (n <= 0)
            unusable(ErrNum::SettingsWrite, 16307, p, f.errorString());
        done += n;
    }
    if (!f.commit())
        unusable(ErrNum::SettingsWrite, 16307, p, f.errorString());
    QFile::setPermissions(p, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    m_sections = next;
    rebuildIndex();
}

QByteArray SettingsStore::serialize(const QList<Section>& sections) {
    QString out = QStringLiteral("; Tamrivo settings\n");
    for (const auto& s : sections) {
        out += QStringLiteral("\n[") + encode(s.name, true) + QStringLiteral("]\n");
        for (const auto& e : s.entries)
            out += encode(e.first, true) + u'=' + encode(e.second, false) + u'\n';
    }
    return out.toUtf8();
}

QList<SettingsStore::Section> SettingsStore::parse(const QByteArray& data,
                                                   const QString& fileName) {
    Index index;
    return parse(data, fileName, index);
}

QList<SettingsStore::Section> SettingsStore::parse(const QByteArray& data, const QString& fileName,
                                                   Index& index) {
    // Names are found through the index, so the load takes time in
    // proportion to the file, and lines are views into the one text.
    QList<Section> sections;
    index = {};
    // Room for as many sections as there are "[", so the tables are not regrown.
    const qsizetype headers = data.count('[');
    sections.reserve(headers);
    index.sections.reserve(headers);
    index.keys.reserve(headers);
    qsizetype current = -1;
    // The decoder drops the byte-order mark editors may put in front.
    const QString text = decode(data, fileName);
    const QStringView all(text);
    qsizetype lineNo = 1;
    for (qsizetype start = 0; start <= all.size(); ++lineNo) {
        const qsizetype end = lineEnd(all, start);
        const QStringView line = all.sliced(start, end - start);
        start = nextLine(all, end);
        if (line.trimmed().isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            QString name;
            qsizetype pos = 1;
            if (pos < line.size() && line[pos] == u'"') {
                if (!unquote(line, pos, name))
                    malformed(fileName, lineNo, 16296);
            } else {
                pos = line.indexOf(u']', pos);
                if (pos < 0)
                    malformed(fileName, lineNo, 16297);
                name = line.sliced(1, pos - 1).toString();
            }
            if (pos >= line.size() || line[pos] != u']' ||
                !line.sliced(pos + 1).trimmed().isEmpty())
                malformed(fileName, lineNo, 16298);
            // One look-up each: a new name gets its place, a repeated section
            // continues the first one.
            Index::Position& at = index.sections[name.toCaseFolded()];
            if (at.at < 0) {
                at.at = sections.size();
                sections.append(Section{name, {}});
                index.keys.append(QHash<QString, Index::Position>());
            }
            current = at.at;
            continue;
        }
        if (current < 0)
            malformed(fileName, lineNo, 16299);
        QString key;
        qsizetype pos = 0;
        if (line[0] == u'"') {
            if (!unquote(line, pos, key))
                malformed(fileName, lineNo, 16300);
            if (pos >= line.size() || line[pos] != u'=')
                malformed(fileName, lineNo, 16301);
        } else {
            pos = line.indexOf(u'=');
            if (pos < 0)
                malformed(fileName, lineNo, 16301);
            // Blanks around a hand-written name are not part of it; names
            // that really have them are written quoted.
            key = line.first(pos).trimmed().toString();
        }
        ++pos;
        // Blanks around a hand-written value are not part of it either;
        // values that really have them are written quoted.
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        QString value;
        if (pos < line.size() && line[pos] == u'"') {
            if (!unquote(line, pos, value) || !line.sliced(pos).trimmed().isEmpty())
                malformed(fileName, lineNo, 16302);
        } else {
            value = line.sliced(pos).trimmed().toString();
        }
        // A key given twice keeps its first place and its last value.
        sections[current].entries[index.entry(sections, current, key)].second = std::move(value);
    }
    return sections;
}
