#include "platform/filechooser.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>

namespace {
bool gScripted = false;
QQueue<QString> gAnswers;
QList<FileChooser::Request> gRequests;
} // namespace

QStringList FileChooser::nameFilters(const QString& filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        // Qt reads the patterns from the last parentheses of each filter.
        QString patterns = pattern;
        patterns.replace(u';', u' ');
        const QString suffix = QStringLiteral("(") + patterns + QStringLiteral(")");
        out.append(description.endsWith(suffix) ? description
                                                : description + QStringLiteral(" ") + suffix);
    }
    if (out.isEmpty() && !filter.isEmpty())
        out.append(filter);
    return out;
}

bool FileChooser::choose(Mode mode, const QString& filter, int filterIndex, const QString& title,
                         QString& path, QWidget* parent) {
    gRequests.append(Request{mode, filter, filterIndex, title});
    if (gScripted) {
        const QString answer = gAnswers.isEmpty() ? QString() : gAnswers.dequeue();
        if (answer.isEmpty())
            return false;
        path = answer;
        return true;
    }

    QFileDialog dialog(parent, title);
    const QStringList filters = nameFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    if (mode == Mode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.first().isEmpty())
        return false;
    path = QFileInfo(files.first()).absoluteFilePath();
    return true;
}

void FileChooser::setScripted(bool on) {
    gScripted = on;
}
void FileChooser::pushAnswer(const QString& path) {
    gAnswers.enqueue(path);
}
const QList<FileChooser::Request>& FileChooser::requests() {
    return gRequests;
}

void FileChooser::reset() {
    gAnswers.clear();
    gRequests.clear();
}
