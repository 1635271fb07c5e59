#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// Rows read whole from a data source; they stay readable after the
// connection that produced them is gone. A forward cursor walks them. A Null
// value is an invalid QVariant, kept apart from "" (a valid, empty text).
class Recordset {
public:
    Recordset() = default;
    Recordset(QStringList fieldNames, QList<QList<QVariant>> rows);

    // True when there is no current row: the set is empty or the cursor
    // stands past the last row.
    bool isEOF() const { return m_pos >= m_rows.size(); }
    // One row on; at the end it stays at the end.
    void MoveNext();
    void MoveFirst() { m_pos = 0; }
    // The last row (the end when the set is empty).
    void MoveLast();
    int RecordCount() const { return int(m_rows.size()); }

    int fieldCount() const { return int(m_names.size()); }
    const QStringList& fieldNames() const { return m_names; }
    // Index of the first column of that name, compared without regard to
    // case; -1 when there is none.
    int fieldIndex(const QString& name) const;

    // Values of the current row. Raise 3021 at the end and 3265 for a column
    // that does not exist.
    QVariant value(int index) const;
    QVariant value(const QString& name) const;
    bool isNull(int index) const { return !value(index).isValid(); }
    bool isNull(const QString& name) const { return !value(name).isValid(); }
    // Text form of the value; Null gives "".
    QString text(int index) const;
    QString text(const QString& name) const;

private:
    QStringList m_names;
    QList<QList<QVariant>> m_rows;
    qsizetype m_pos = 0;
};

// Text form of a value read from a data source; Null gives "".
QString variantText(const QVariant& v);
