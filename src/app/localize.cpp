#include "app/localize.h"

#include "app/convert.h"
#include "app/strings.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVariant>
#include <cmath>
#include <optional>

namespace {

// Runs one step; whatever goes wrong in it leaves that element as designed.
template <typename F> void step(F&& f) noexcept {
    try {
        f();
    } catch (...) {
    }
}

std::optional<int> toId(double value) {
    try {
        return convert::toInt16(value);
    } catch (...) {
        return std::nullopt; // outside the id range
    }
}

// The whole text must be a number.
std::optional<int> wholeNumber(const QString& text) {
    double v = 0;
    if (!convert::tryToDouble(text, v))
        return std::nullopt;
    return toId(v);
}

// Only the leading number counts; text that does not start with one reads 0.
std::optional<int> leadingNumber(const QString& text) {
    int i = 0;
    const int n = int(text.size());
    const auto isDigit = [&](int k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const int start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (isDigit(i)) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    int end = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int k = i + 1;
        if (k < n && (text[k] == u'+' || text[k] == u'-'))
            ++k;
        if (isDigit(k)) {
            while (isDigit(k))
                ++k;
            end = k;
        }
    }
    bool ok = false;
    const double v = text.mid(start, end - start).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return toId(v);
}

std::optional<QString> stringOf(std::optional<int> id) {
    QString s;
    if (!id || !tryLoadResString(*id, s))
        return std::nullopt;
    return s;
}

QString tagOf(const QObject* o) {
    return o->property("Tag").toString();
}

// "Label": the whole Tag is the id.
void localizeLabel(QLabel* label) {
    step([&] {
        if (const auto s = stringOf(wholeNumber(tagOf(label))))
            label->setText(*s);
    });
}

// Menu items carry their id in the design-time caption.
void localizeMenuActions(QWidget* menu, QSet<QAction*>& done) {
    const auto actions = menu->actions();
    for (QAction* a : actions) {
        step([&] {
            if (a->isSeparator() || done.contains(a))
                return;
            done.insert(a);
            if (const auto s = stringOf(wholeNumber(a->text())))
                a->setText(*s);
        });
    }
}

// Toolbar buttons: tooltip id in the design-time tooltip, caption id in Tag.
void localizeToolBar(QToolBar* bar) {
    const auto actions = bar->actions();
    for (QAction* a : actions) {
        if (a->isSeparator())
            continue;
        step([&] {
            if (const auto s = stringOf(wholeNumber(a->toolTip())))
                a->setToolTip(*s);
        });
        step([&] {
            if (const auto s = stringOf(wholeNumber(tagOf(a))))
                a->setText(*s);
        });
    }
}

// Tabs: caption ids in "TabTags", tooltip ids in each tab's tooltip.
void localizeTabs(QWidget* owner, QTabBar* tabs) {
    QStringList tags;
    step([&] { tags = owner->property("TabTags").toStringList(); });
    for (int i = 0; i < tabs->count(); ++i) {
        step([&] {
            if (i < tags.size())
                if (const auto s = stringOf(wholeNumber(tags[i])))
                    tabs->setTabText(i, *s);
        });
        step([&] {
            if (const auto s = stringOf(wholeNumber(tabs->tabToolTip(i))))
                tabs->setTabToolTip(i, *s);
        });
    }
}

// List views: one id per column header in "ColumnTags".
void localizeColumns(QAbstractItemView* view) {
    QAbstractItemModel* model = view->model();
    if (!model)
        return;
    const QStringList tags = view->property("ColumnTags").toStringList();
    for (int i = 0; i < tags.size() && i < model->columnCount(); ++i) {
        step([&] {
            if (const auto s = stringOf(wholeNumber(tags[i])))
                model->setHeaderData(i, Qt::Horizontal, *s, Qt::DisplayRole);
        });
    }
}

// Buttons, check boxes, radio buttons, group boxes and every other control:
// leading numbers, so ordinary text stays. Controls without a caption (text
// boxes, sliders, ...) only take the tooltip.
void localizeOther(QWidget* w) {
    step([&] {
        const auto id = leadingNumber(tagOf(w));
        if (!id || *id <= 0)
            return;
        const auto s = stringOf(id);
        if (!s)
            return;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            b->setText(*s);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            g->setTitle(*s);
    });
    step([&] {
        const auto id = leadingNumber(w->toolTip());
        if (!id || *id < 1)
            return;
        if (const auto s = stringOf(id))
            w->setToolTip(*s);
    });
}

bool isListView(QWidget* w) {
    return (qobject_cast<QTreeView*>(w) || qobject_cast<QTableView*>(w)) &&
           w->property("ColumnTags").isValid();
}

// Parts that Qt builds inside a control belong to that control.
bool isInternalPart(QWidget* w) {
    if (w->objectName().startsWith(QLatin1String("qt_")))
        return true;
    QWidget* parent = w->parentWidget();
    if (qobject_cast<QTabBar*>(w) && qobject_cast<QTabWidget*>(parent))
        return true;
    if (auto* b = qobject_cast<QToolButton*>(w))
        return b->defaultAction() && qobject_cast<QToolBar*>(parent);
    return false;
}

// One control, by its type.
void localizeControl(QWidget* w, QSet<QAction*>& menuDone) {
    if (qobject_cast<QMenu*>(w) || qobject_cast<QMenuBar*>(w))
        localizeMenuActions(w, menuDone);
    else if (auto* label = qobject_cast<QLabel*>(w))
        localizeLabel(label);
    else if (auto* bar = qobject_cast<QToolBar*>(w))
        localizeToolBar(bar);
    else if (auto* tw = qobject_cast<QTabWidget*>(w))
        localizeTabs(tw, tw->tabBar());
    else if (auto* tb = qobject_cast<QTabBar*>(w))
        localizeTabs(tb, tb);
    else if (isListView(w))
        localizeColumns(static_cast<QAbstractItemView*>(w));
    else
        localizeOther(w);
}

// Controls in the window's order: each before the controls it holds.
void localizeControls(QWidget* parent, QSet<QAction*>& menuDone) {
    const auto children = parent->children();
    for (QObject* o : children) {
        auto* w = qobject_cast<QWidget*>(o);
        if (!w)
            continue;
        // Other windows owned by this one localise themselves when they load;
        // menus are pop-up windows but belong to this one.
        if (w->isWindow() && !qobject_cast<QMenu*>(w))
            continue;
        // A control's own parts are not localised, but what they hold is (the
        // pages of a tab widget, the contents of a scroll area).
        if (!isInternalPart(w))
            localizeControl(w, menuDone);
        localizeControls(w, menuDone);
    }
}

} // namespace

void localizeForm(QWidget* form) {
    if (!form)
        return;
    std::optional<int> id;
    step([&] { id = wholeNumber(tagOf(form)); });
    step([&] {
        if (const auto s = stringOf(id))
            form->setWindowTitle(*s);
    });
    step([&] {
        if (!id)
            return;
        const QString path = QStringLiteral(":/icons/%1.png").arg(*id);
        if (QFile::exists(path))
            form->setWindowIcon(QIcon(path));
    });
    step([&] {
        QSet<QAction*> menuDone;
        localizeControls(form, menuDone);
    });
}
