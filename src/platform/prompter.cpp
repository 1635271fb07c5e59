#include "platform/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQueue>

#include <cstdio>

namespace {
Prompter::Mode gMode = Prompter::Mode::Dialog;
QQueue<int> gAnswers;
QList<Prompter::Record> gRecords;
std::function<void(const Prompter::Record&)> gHook;

QList<int> buttonsOf(int flags) {
    switch (flags & 7) {
    case Msg::OKCancel: return {Msg::Ok, Msg::Cancel};
    case Msg::YesNoCancel: return {Msg::Yes, Msg::No, Msg::Cancel};
    case Msg::YesNo: return {Msg::Yes, Msg::No};
    default: return {Msg::Ok};
    }
}
} // namespace

int Prompter::defaultAnswer(int flags) {
    const QList<int> b = buttonsOf(flags);
    int index = 0;
    if (flags & Msg::DefaultButton2)
        index = 1;
    if (flags & Msg::DefaultButton3)
        index = 2;
    return b.value(index, b.first());
}

void Prompter::initFromEnvironment() {
    if (qEnvironmentVariable("TAMRIVO_PROMPTS") == QLatin1String("stderr"))
        gMode = Mode::Stderr;
}

void Prompter::setMode(Mode m) { gMode = m; }
Prompter::Mode Prompter::mode() { return gMode; }
void Prompter::pushAnswer(int answer) { gAnswers.enqueue(answer); }
void Prompter::setHook(std::function<void(const Record&)> hook) { gHook = std::move(hook); }
const QList<Prompter::Record>& Prompter::records() { return gRecords; }

void Prompter::reset() {
    gAnswers.clear();
    gRecords.clear();
    gHook = nullptr;
}

void Prompter::showError(const QString& text, const QString& title) {
    static QPointer<QMessageBox> box;
    if (gMode != Mode::Dialog) {
        msgBox(text, Msg::OKOnly, title);
        return;
    }
    gRecords.append({text, title, Msg::OKOnly, Msg::Ok});
    if (box && box->isVisible()) {
        if (!box->text().split(QStringLiteral("\n\n")).contains(text))
            box->setText(box->text() + QStringLiteral("\n\n") + text);
    } else {
        // Inside a modal dialog's family, or the dialog would block it.
        box = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                              QApplication::activeModalWidget());
        box->setWindowModality(Qt::NonModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->show();
    }
    box->raise();
}

int Prompter::msgBox(const QString& text, int flags, const QString& title, QWidget* parent) {
    Record rec{text, title, flags, 0};
    if (gMode == Mode::Stderr) {
        rec.answer = defaultAnswer(flags);
        QString line = text;
        line.replace(u'\n', u' ').replace(u'\r', u' ');
        std::fprintf(stderr, "PROMPT %s: %s\n", title.toLocal8Bit().constData(),
                     line.toLocal8Bit().constData());
        std::fflush(stderr);
        gRecords.append(rec);
        return rec.answer;
    }
    if (gMode == Mode::Scripted) {
        rec.answer = gAnswers.isEmpty() ? defaultAnswer(flags) : gAnswers.dequeue();
        gRecords.append(rec);
        if (gHook)
            gHook(rec);
        return rec.answer;
    }

    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(text);
    switch (flags & 0x70) {
    case Msg::Critical: box.setIcon(QMessageBox::Critical); break;
    case Msg::Question: box.setIcon(QMessageBox::Question); break;
    case Msg::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case Msg::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon);
    }
    QList<QPair<QAbstractButton*, int>> buttons;
    for (int answer : buttonsOf(flags)) {
        QMessageBox::StandardButton sb = QMessageBox::Ok;
        switch (answer) {
        case Msg::Cancel: sb = QMessageBox::Cancel; break;
        case Msg::Yes: sb = QMessageBox::Yes; break;
        case Msg::No: sb = QMessageBox::No; break;
        default: sb = QMessageBox::Ok;
        }
        buttons.append({box.addButton(sb), answer});
    }
    const int def = defaultAnswer(flags);
    for (const auto& b : buttons)
        if (b.second == def)
            box.setDefaultButton(qobject_cast<QPushButton*>(b.first));
    box.exec();
    rec.answer = buttonsOf(flags).contains(Msg::Cancel) ? Msg::Cancel : def;
    for (const auto& b : buttons)
        if (box.clickedButton() == b.first)
            rec.answer = b.second;
    gRecords.append(rec);
    return rec.answer;
}
