#include "platform/filechooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>

namespace {
FileChooser::Mode gMode = FileChooser::Mode::Dialog;
QQueue<std::optional<QString>> gAnswers;
QList<FileChooser::Record> gRecords;
} // namespace

QStringList FileChooser::nameFilters(const QString& filter) {
    QStringList out;
    const QStringList parts = filter.split(u'|');
    if (filter.isEmpty())
        return out;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts.at(i).trimmed();
        if (i + 1 >= parts.size()) {
            if (!description.isEmpty())
                out.append(description);
            break;
        }
        QStringList patterns = parts.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns)
            p = p.trimmed();
        const QString joined = patterns.join(u' ');
        // The dialog takes the patterns from the last parentheses; a
        // description that already shows them is used as it is.
        if (joined.isEmpty() || description.endsWith(QLatin1Char('(') + joined + u')'))
            out.append(description);
        else
            out.append(description + QStringLiteral(" (") + joined + u')');
    }
    return out;
}

bool FileChooser::choose(QWidget* parent, Kind kind, const QString& filter, const QString& title,
                         QString& path) {
    try {
        Record rec;
        rec.kind = kind;
        rec.filter = filter;
        rec.title = title;
        rec.nameFilters = nameFilters(rec.filter);
        rec.filterIndex = 1;

        if (gMode == Mode::Scripted) {
            gRecords.append(rec);
            const std::optional<QString> answer =
                gAnswers.isEmpty() ? std::nullopt : gAnswers.dequeue();
            if (!answer || answer->isEmpty())
                return false;
            path = QFileInfo(*answer).absoluteFilePath();
            return true;
        }

        QFileDialog dialog(parent, rec.title);
        dialog.setNameFilters(rec.nameFilters);
        if (!rec.nameFilters.isEmpty())
            dialog.selectNameFilter(rec.nameFilters.first());
        if (kind == Kind::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        } else {
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (dialog.exec() != QDialog::Accepted)
            return false;
        const QStringList files = dialog.selectedFiles();
        if (files.isEmpty() || files.first().isEmpty())
            return false;
        path = QFileInfo(files.first()).absoluteFilePath();
        return true;
    } catch (...) {
        // A dialog that cannot be shown counts as cancelled.
        return false;
    }
}

void FileChooser::setMode(Mode m) {
    gMode = m;
}
FileChooser::Mode FileChooser::mode() {
    return gMode;
}
void FileChooser::pushAnswer(std::optional<QString> path) {
    gAnswers.enqueue(std::move(path));
}
const QList<FileChooser::Record>& FileChooser::records() {
    return gRecords;
}

void FileChooser::reset() {
    gAnswers.clear();
    gRecords.clear();
}
