#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

// The common file dialog: one file chosen for opening or saving. Callers pass
// filter and title as they come from the string table. Cancel, or any failure
// of the dialog, answers false and leaves the path unchanged; nothing is
// reported. Tests script the answers.
class FileChooser {
public:
    enum class Kind { Open, Save };
    enum class Mode { Dialog, Scripted };

    // What a dialog was asked to show.
    struct Record {
        Kind kind = Kind::Open;
        QString title;
        // Filter in the string table's form ("Wav files (*.wav)|*.wav").
        QString filter;
        // The same as the dialog's name filters ("Wav files (*.wav)").
        QStringList nameFilters;
        int filterIndex = 1;
    };

    // Shows the dialog: filter holds "description|pattern" pairs joined by
    // "|" (patterns separated by ";"); the first filter (filter index 1) is
    // selected. On a choice, path receives the chosen file's full path and
    // the answer is true. The save dialog does not ask about an existing
    // file. Never raises.
    static bool choose(QWidget* parent, Kind kind, const QString& filter, const QString& title,
                       QString& path);

    // "Wav files (*.wav)|*.wav" as the dialog's name filters; an odd trailing
    // description stands alone. Empty for an empty filter.
    static QStringList nameFilters(const QString& filter);

    static void setMode(Mode m);
    static Mode mode();
    // Scripted mode: answers are taken in order, a path (a choice) or
    // std::nullopt (Cancel); when none is left the dialog is cancelled.
    static void pushAnswer(std::optional<QString> path);
    static void pushCancel() { pushAnswer(std::nullopt); }
    static const QList<Record>& records();
    // Back to no answers and no records (the mode stays).
    static void reset();
};
