#include "platform/settingsstore.h"

#include "platform/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {

constexpr qint64 kMaxSettingsSize = 16 * 1024 * 1024;

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

bool needsQuoting(const QString& s, bool isName) {
    if (s.isEmpty())
        return isName;
    if (s.front().isSpace() || s.back().isSpace() || s.front() == u'"')
        return true;
    if (isName && (s.front() == u';' || s.front() == u'#' || s.front() == u'['))
        return true;
    for (QChar c : s) {
        if (c == u'\\' || c == u'\n' || c == u'\r' || c == u'\0' || c.unicode() < 0x20)
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

[[noreturn]] void malformed(const QString& file, int line, const QString& what) {
    raiseError(ErrNum::SettingsRead,
               QStringLiteral("The settings file %1 is damaged at line %2: %3")
                   .arg(file)
                   .arg(line)
                   .arg(what),
               QStringLiteral("Settings"));
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Splits at CR LF, LF or a lone CR; each line is decoded on its own, so a
// byte that is not UTF-8 is reported with its line instead of being replaced.
QStringList decodeLines(const QByteArray& data, const QString& fileName) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= data.size(); ++i) {
        if (i < data.size() && data[i] != '\n' && data[i] != '\r')
            continue;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8(QByteArrayView(data).sliced(start, i - start));
        if (utf8.hasError())
            malformed(fileName, int(lines.size()) + 1, QStringLiteral("bytes that are not UTF-8"));
        lines << line;
        if (i + 1 < data.size() && data[i] == '\r' && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    return lines;
}

// Reads a quoted text starting at pos (on the opening quote); pos ends after the closing quote.
bool unquote(const QString& line, int& pos, QString& out) {
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
            out += QChar(char16_t(line.mid(pos, 2).toUShort(nullptr, 16)));
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
    m_index.clear();
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
            raiseError(ErrNum::SettingsRead,
                       QStringLiteral("The settings file %1 is not a regular file").arg(p),
                       QStringLiteral("Settings"));
        if (info.size() > kMaxSettingsSize)
            raiseError(ErrNum::SettingsRead,
                       QStringLiteral("The settings file %1 is larger than 16 MiB").arg(p),
                       QStringLiteral("Settings"));
        if (!f.open(QIODevice::ReadOnly))
            raiseError(
                ErrNum::SettingsRead,
                QStringLiteral("Cannot read the settings file %1: %2").arg(p, f.errorString()),
                QStringLiteral("Settings"));
        const QByteArray data = f.read(kMaxSettingsSize + 1);
        if (data.size() > kMaxSettingsSize)
            raiseError(ErrNum::SettingsRead,
                       QStringLiteral("The settings file %1 is larger than 16 MiB").arg(p),
                       QStringLiteral("Settings"));
        sections = parse(data, p);
    }
    m_sections = sections;
    m_loaded = true;
    rebuildIndex();
}

int SettingsStore::findSection(const QList<Section>& s, const QString& name) const {
    for (int i = 0; i < s.size(); ++i)
        if (sameName(s[i].name, name))
            return i;
    return -1;
}

std::optional<QString> SettingsStore::value(const QString& section, const QString& key) const {
    ensureLoaded();
    const auto si = m_index.constFind(section.toCaseFolded());
    if (si == m_index.constEnd())
        return std::nullopt;
    const auto ki = si->keys.constFind(key.toCaseFolded());
    if (ki == si->keys.constEnd())
        return std::nullopt;
    return m_sections[si->section].entries[*ki].second;
}

void SettingsStore::rebuildIndex() const {
    m_index.clear();
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        SectionIndex& idx = m_index[m_sections[i].name.toCaseFolded()];
        idx.section = i;
        const auto& entries = m_sections[i].entries;
        for (qsizetype k = 0; k < entries.size(); ++k)
            idx.keys.insert(entries[k].first.toCaseFolded(), k);
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
        raiseError(ErrNum::SettingsWrite,
                   QStringLiteral("Cannot create the settings folder %1").arg(dir.absolutePath()),
                   QStringLiteral("Settings"));
    QSaveFile f(p);
    if (!f.open(QIODevice::WriteOnly))
        raiseError(ErrNum::SettingsWrite,
                   QStringLiteral("Cannot write the settings file %1: %2").arg(p, f.errorString()),
                   QStringLiteral("Settings"));
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray data = serialize(next);
    if (f.write(data) != data.size() || !f.commit())
        raiseError(ErrNum::SettingsWrite,
                   QStringLiteral("Cannot write the settings file %1: %2").arg(p, f.errorString()),
                   QStringLiteral("Settings"));
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
    QList<Section> sections;
    QHash<QString, QHash<QString, qsizetype>> keysSeen; // per section: key -> position
    QStringList lines = decodeLines(data, fileName);
    // Editors may put a byte-order mark in front; it is not part of the first line.
    if (lines.first().startsWith(QChar(0xFEFF)))
        lines.first().remove(0, 1);
    for (int n = 0; n < lines.size(); ++n) {
        const QString& line = lines[n];
        const int lineNo = n + 1;
        if (line.trimmed().isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            QString name;
            int pos = 1;
            if (pos < line.size() && line[pos] == u'"') {
                if (!unquote(line, pos, name))
                    malformed(fileName, lineNo, QStringLiteral("bad section name"));
            } else {
                const int end = line.indexOf(u']', pos);
                if (end < 0)
                    malformed(fileName, lineNo, QStringLiteral("missing ]"));
                name = line.mid(pos, end - pos);
                pos = end;
            }
            if (pos >= line.size() || line[pos] != u']' || !line.mid(pos + 1).trimmed().isEmpty())
                malformed(fileName, lineNo, QStringLiteral("bad section line"));
            bool merged = false;
            for (const auto& s : sections)
                if (sameName(s.name, name))
                    merged = true;
            if (!merged)
                sections.append(Section{name, {}});
            else // a repeated section continues the first one
                for (int i = 0; i < sections.size(); ++i)
                    if (sameName(sections[i].name, name))
                        sections.move(i, sections.size() - 1);
            continue;
        }
        if (sections.isEmpty())
            malformed(fileName, lineNo, QStringLiteral("key outside a section"));
        QString key;
        int pos = 0;
        if (line[0] == u'"') {
            if (!unquote(line, pos, key))
                malformed(fileName, lineNo, QStringLiteral("bad key"));
            if (pos >= line.size() || line[pos] != u'=')
                malformed(fileName, lineNo, QStringLiteral("missing ="));
        } else {
            pos = line.indexOf(u'=');
            if (pos < 0)
                malformed(fileName, lineNo, QStringLiteral("missing ="));
            // Blanks around a hand-written name are not part of it; names
            // that really have them are written quoted.
            key = line.left(pos).trimmed();
        }
        ++pos;
        // Blanks around a hand-written value are not part of it either;
        // values that really have them are written quoted.
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        QString value;
        if (pos < line.size() && line[pos] == u'"') {
            if (!unquote(line, pos, value) || !line.mid(pos).trimmed().isEmpty())
                malformed(fileName, lineNo, QStringLiteral("bad quoted value"));
        } else {
            value = line.mid(pos).trimmed();
        }
        auto& entries = sections.last().entries;
        auto& seen = keysSeen[sections.last().name.toCaseFolded()];
        const QString folded = key.toCaseFolded();
        const auto it = seen.constFind(folded);
        if (it != seen.constEnd()) {
            entries[*it].second = value;
        } else {
            seen.insert(folded, entries.size());
            entries.append({key, value});
        }
    }
    return sections;
}
