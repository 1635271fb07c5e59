#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <optional>

// Per-user settings: text values under a section and a key, names compared
// without regard to case. Kept in an INI file that is rewritten atomically on
// every change, so a reader (or a crash) never sees half a file. A failed
// write raises and leaves both the file and the in-memory copy as they were.
class SettingsStore {
public:
    using Entries = QList<QPair<QString, QString>>;

    static SettingsStore& instance();

    // $XDG_CONFIG_HOME/Tamrivo/Tamrivo.ini
    static QString defaultPath();

    // Points the store at another file and forgets what was loaded (tests).
    void setPath(const QString& path);
    QString path() const;
    // Forgets the loaded copy; the next access reads the file again.
    void reload();

    // Empty optional when the section or the key is absent.
    std::optional<QString> value(const QString& section, const QString& key) const;
    QString read(const QString& section, const QString& key, const QString& defaultValue) const;
    bool hasSection(const QString& section) const;
    QStringList keys(const QString& section) const;

    void write(const QString& section, const QString& key, const QString& value);
    // Answers false when the section did not exist (nothing written then).
    bool deleteSection(const QString& section);
    // Replaces a whole section in one write: all or nothing.
    void replaceSection(const QString& section, const Entries& entries);

    struct Section {
        QString name;
        Entries entries;
    };
    // Replaces several sections in one write: all or nothing.
    void replaceSections(const QList<Section>& sections);

    // Serialisation, exposed for tests.
    static QByteArray serialize(const QList<Section>& sections);
    // Raises ErrNum::SettingsRead with the line number on a malformed file.
    static QList<Section> parse(const QByteArray& data, const QString& fileName);

private:
    SettingsStore() = default;
    void ensureLoaded() const;
    void commit(const QList<Section>& next);
    int findSection(const QList<Section>& s, const QString& name) const;

    void rebuildIndex();

    // Positions by case-folded names. A section's keys get a table only once
    // they are many: most sections hold a handful, looked through faster.
    struct Index {
        struct Position {
            qsizetype at = -1; // none yet
        };
        QHash<QString, Position> sections;
        QList<QHash<QString, Position>> keys; // per section

        // The entry of key in section s of all, or -1.
        qsizetype find(const QList<Section>& all, qsizetype s, const QString& key) const;
        // The same, appending an entry with an empty value when there is none.
        qsizetype entry(QList<Section>& all, qsizetype s, const QString& key);
    };
    static QList<Section> parse(const QByteArray& data, const QString& fileName, Index& index);

    QString m_path;
    mutable bool m_loaded = false;
    mutable QList<Section> m_sections;
    mutable Index m_index;
};
