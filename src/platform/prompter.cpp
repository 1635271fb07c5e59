#include "platform/prompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QQueue>
#include <QStyle>

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
// A box is sized for its text, but a title bar shows the title larger, in
// bold, beside its buttons: a short text would cut the title.
void fitTitle(QMessageBox& box) {
    QFont titleFont = box.font();
    titleFont.setBold(true);
    if (titleFont.pointSizeF() > 0)
        titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) +
                           4 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
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
        fitTitle(*box);
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
    // Added last, as setting the icon lays the box out anew.
    fitTitle(box);
    box.exec();
    rec.answer = buttonsOf(flags).contains(Msg::Cancel) ? Msg::Cancel : def;
    for (const auto& b : buttons)
        if (box.clickedButton() == b.first)
            rec.answer = b.second;
    gRecords.append(rec);
    return rec.answer;
}
