#include "addressbooks/frmaddressbooks.h"
#include "platform/errors.h"
#include "app/frmabout.h"
#include "app/frmpreferences.h"
#include "app/frmtipoftheday.h"
#include "app/globals.h"
#include "app/settings.h"
#include "mainwindow/frmmain.h"
#include "mainwindow/frmsearch.h"
#include "platform/shell.h"
#include "plugins/frmpluginssetup.h"
#include "telephony/tapisetup.h"

#include <QUrl>
#include <utility>

namespace {
// The program's own update page.
const char* const kUpdatePage = "https://www.tamrivo.example/update.html";
const char* const kHelpFile = "Tamrivo.html";
} // namespace

QUrl frmMain::helpPage() {
    return QUrl::fromLocalFile(Shell::shippedFile(QLatin1String(kHelpFile)));
}

QUrl frmMain::updatePage() {
    return QUrl(QLatin1String(kUpdatePage));
}

void frmMain::mnuFileSearch_Click() {
    trapErrors([this] { frmSearch::showWindow(this); });
}

namespace {
// Runs the steps of a command. From a menu the first failure ends the
// command (the menu handler reports it); from the toolbar every step runs,
// each failure reported on its own, so a failing step does not stop the ones
// after it.
class Steps {
public:
    explicit Steps(bool goOnAfterErrors) : m_goOn(goOnAfterErrors) {}
    template <typename F> void operator()(F&& f) {
        if (m_goOn)
            trapErrors(std::forward<F>(f));
        else
            std::forward<F>(f)();
    }

private:
    bool m_goOn;
};
} // namespace

void frmMain::mnuToolsAddressBooks_Click() {
    trapErrors([this] { addressBooksCommand(false); });
}

void frmMain::addressBooksCommand(bool goOnAfterErrors) {
    Steps step(goOnAfterErrors);
    step([this] { frmAddressBooks::showModal(this); });
    // However the manager was closed, the books may have changed.
    step([this] { fillAddressBookTree(); });
}

void frmMain::mnuToolsPlugIns_Click() {
    trapErrors([this] { frmPlugInsSetup::showModal(this); });
}

void frmMain::mnuToolsPreferences_Click() {
    trapErrors([this] { preferencesCommand(false); });
}

void frmMain::preferencesCommand(bool goOnAfterErrors) {
    Steps step(goOnAfterErrors);
    step([this] { frmPreferences::showModal(this); });
    // A dialog unloaded by its close box is loaded afresh here and has no
    // "OK" to give.
    bool ok = false;
    step([&] { ok = frmPreferences::instance(this)->closeMode() == QLatin1String("OK"); });
    if (!ok)
        return;
    step([this] { gPreferences = frmPreferences::instance(this)->getValues(); });
    step([] { setupTAPI(); });
    step([this] {
        if (gTAPI)
            TAPIEventsInit();
    });
    step([] { saveSettings(); });
}

void frmMain::mnuHelpHelp_Click() {
    // A missing page is for the desktop to tell.
    trapErrors([] { Shell::open(helpPage()); });
}

void frmMain::mnuHelpUpdate_Click() {
    trapErrors([] { Shell::open(updatePage()); });
}

void frmMain::mnuHelpTipOfTheDay_Click() {
    trapErrors([this] { frmTipOfTheDay::showWindow(this); });
}

void frmMain::mnuHelpAbout_Click() {
    trapErrors([this] { frmAbout::showModal(this); });
}
