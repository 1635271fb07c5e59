#pragma once

#include <QList>
#include <QString>

class QWidget;

// The file dialog for opening and saving. Filters come in the form
// "description|pattern|description|pattern..." and the filter index counts
// from 1. Tests put it in scripted mode and queue the answers.
class FileChooser {
public:
    enum class Mode { Open, Save };

    struct Request {
        Mode mode = Mode::Open;
        QString filter;
        int filterIndex = 1;
        QString title;
    };

    // Shows the dialog. True, with the chosen file's full path in path, when a
    // file was chosen; false on Cancel or any failure of the dialog (path is
    // then left as it was). Open asks for an existing file; Save takes any
    // name and does not ask about a file that already exists.
    static bool choose(Mode mode, const QString& filter, int filterIndex, const QString& title,
                       QString& path, QWidget* parent = nullptr);

    // Qt name filters ("Wav files (*.wav)") from the "description|pattern" form.
    static QStringList nameFilters(const QString& filter);

    // Scripted mode: each choice takes the next queued answer; an empty text,
    // or no answer left, is Cancel. Every request is recorded.
    static void setScripted(bool on);
    static void pushAnswer(const QString& path);
    static const QList<Request>& requests();
    static void reset();
};
