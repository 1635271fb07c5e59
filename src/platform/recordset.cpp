#include "platform/recordset.h"

#include "platform/errors.h"

Recordset::Recordset(QStringList fieldNames, QList<QList<QVariant>> rows)
    : m_names(std::move(fieldNames)), m_rows(std::move(rows)) {}

void Recordset::MoveNext() {
    if (m_pos < m_rows.size())
        ++m_pos;
}

void Recordset::MoveLast() {
    m_pos = m_rows.isEmpty() ? 0 : m_rows.size() - 1;
}

int Recordset::fieldIndex(const QString& name) const {
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        if (m_names[i].compare(name, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QVariant Recordset::value(int index) const {
    if (isEOF())
        raiseError(ErrNum::NoCurrentRecord,
                   QStringLiteral("Either BOF or EOF is True: there is no current record."));
    const QList<QVariant>& row = m_rows[m_pos];
    if (index < 0 || index >= row.size())
        raiseError(ErrNum::ItemNotFound,
                   QStringLiteral("Item cannot be found in the collection: column %1.").arg(index));
    return row[index];
}

QVariant Recordset::value(const QString& name) const {
    const int index = fieldIndex(name);
    if (index < 0)
        raiseError(
            ErrNum::ItemNotFound,
            QStringLiteral("Item cannot be found in the collection: column \"%1\".").arg(name));
    return value(index);
}

QString Recordset::text(int index) const {
    return variantText(value(index));
}

QString Recordset::text(const QString& name) const {
    return variantText(value(name));
}

QString variantText(const QVariant& v) {
    if (!v.isValid())
        return QString();
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}
