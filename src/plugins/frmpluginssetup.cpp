#include "plugins/frmpluginssetup.h"

#include "app/convert.h"
#include "app/enterkey.h"
#include "platform/errors.h"
#include "app/globals.h"
#include "app/localize.h"
#include "app/pluginsettings.h"
#include "app/strings.h"
#include "platform/prompter.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

namespace {

QPointer<frmPlugInsSetup> gSetupWindow;

constexpr int kMaxPort = 65535;

// A number typed into a box, or nothing when the text is not one.
std::optional<std::int32_t> typedNumber(const QString& text) {
    double v = 0;
    if (!convert::tryToDouble(text, v))
        return std::nullopt;
    try {
        return convert::toInt32(v);
    } catch (const AppError&) {
        return std::nullopt;
    }
}

QLabel* label(const char* name, const char* text, QWidget* parent) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setObjectName(QString::fromLatin1(name));
    return l;
}

QLineEdit* textBox(const char* name, QWidget* parent) {
    auto* t = new QLineEdit(parent);
    t->setObjectName(QString::fromLatin1(name));
    return t;
}

QPushButton* button(const char* name, const char* id, const char* text, QWidget* parent) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setProperty("Tag", QString::fromLatin1(id));
    return b;
}

} // namespace

void frmPlugInsSetup::showModal(QWidget* owner) {
    trapErrors([&] {
        QPointer<frmPlugInsSetup> dlg = load(owner);
        if (dlg)
            dlg->exec();
    });
}

frmPlugInsSetup* frmPlugInsSetup::load(QWidget* owner) {
    if (!gSetupWindow) {
        gSetupWindow = new frmPlugInsSetup(owner);
        gSetupWindow->Form_Load();
    }
    return gSetupWindow;
}

frmPlugInsSetup* frmPlugInsSetup::loadedInstance() {
    return gSetupWindow;
}

frmPlugInsSetup::frmPlugInsSetup(QWidget* owner) : QDialog(owner) {
    setObjectName(QStringLiteral("frmPlugInsSetup"));
    setProperty("Tag", QStringLiteral("15018"));
    setWindowTitle(QStringLiteral("Plugins Setup"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/tamrivo.png")));
    setModal(true);

    fServer = new QGroupBox(QStringLiteral(" Server "), this);
    fServer->setObjectName(QStringLiteral("fServer"));
    cbEnablePlugins = new QCheckBox(QStringLiteral("Enable Plugins"), fServer);
    cbEnablePlugins->setObjectName(QStringLiteral("cbEnablePlugins"));
    Label6 = label("Label6", "Server Port :", fServer);
    txtServerPort = textBox("txtServerPort", fServer);
    Label6->setBuddy(txtServerPort);
    auto* server = new QHBoxLayout(fServer);
    server->addWidget(cbEnablePlugins);
    server->addStretch(1);
    server->addWidget(Label6);
    server->addWidget(txtServerPort);

    fClients = new QGroupBox(QStringLiteral(" Clients "), this);
    fClients->setObjectName(QStringLiteral("fClients"));
    lvClientPlugIns = new QTreeWidget(fClients);
    lvClientPlugIns->setObjectName(QStringLiteral("lvClientPlugIns"));
    lvClientPlugIns->setRootIsDecorated(false);
    lvClientPlugIns->setSelectionMode(QAbstractItemView::SingleSelection);
    lvClientPlugIns->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvClientPlugIns->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Description"),
                                      QStringLiteral("Remote IP"), QStringLiteral("Remote Port")});
    Label1 = label("Label1", "Name :", fClients);
    txtClientName = textBox("txtClientName", fClients);
    Label2 = label("Label2", "Description :", fClients);
    txtClientDescription = textBox("txtClientDescription", fClients);
    Label3 = label("Label3", "Remote IP :", fClients);
    txtRemoteIP = textBox("txtRemoteIP", fClients);
    Label4 = label("Label4", "Remote Port :", fClients);
    txtRemotePort = textBox("txtRemotePort", fClients);
    cmdClientAdd = button("cmdClientAdd", "14004", "&Add...", fClients);
    cmdClientRemove = button("cmdClientRemove", "14005", "&Delete", fClients);
    auto* entry = new QGridLayout;
    const std::pair<QLabel*, QLineEdit*> rows[] = {{Label1, txtClientName},
                                                   {Label2, txtClientDescription},
                                                   {Label3, txtRemoteIP},
                                                   {Label4, txtRemotePort}};
    for (int r = 0; r < 4; ++r) {
        rows[r].first->setBuddy(rows[r].second);
        entry->addWidget(rows[r].first, r, 0);
        entry->addWidget(rows[r].second, r, 1);
    }
    auto* listButtons = new QHBoxLayout;
    listButtons->addStretch(1);
    listButtons->addWidget(cmdClientAdd);
    listButtons->addWidget(cmdClientRemove);
    auto* clients = new QVBoxLayout(fClients);
    clients->addWidget(lvClientPlugIns, 1);
    clients->addLayout(entry);
    clients->addLayout(listButtons);

    // No default button: Enter typed in an entry box must not close the
    // dialog and save without the entry being typed.
    cmdClose = button("cmdClose", "14023", "Close", this);
    auto* closeLine = new QHBoxLayout;
    closeLine->addStretch(1);
    closeLine->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fServer);
    layout->addWidget(fClients, 1);
    layout->addLayout(closeLine);
    resize(520, 420);

    connect(cbEnablePlugins, &QCheckBox::clicked, this, &frmPlugInsSetup::cbEnablePlugins_Click);
    connect(cmdClientAdd, &QPushButton::clicked, this, &frmPlugInsSetup::cmdClientAdd_Click);
    connect(cmdClientRemove, &QPushButton::clicked, this, &frmPlugInsSetup::cmdClientRemove_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmPlugInsSetup::cmdClose_Click);
}

void frmPlugInsSetup::Form_Load() {
    trapErrors([&] {
        localizeForm(this);
        if (plugInsEnabled) {
            cbEnablePlugins->setChecked(true);
            fClients->setEnabled(true);
            txtServerPort->setEnabled(true);
            txtServerPort->setText(convert::toText(serverPort));
            fillClientList();
        } else {
            cbEnablePlugins->setChecked(false);
            fClients->setEnabled(false);
            txtServerPort->setEnabled(false);
        }
    });
}

void frmPlugInsSetup::cbEnablePlugins_Click() {
    trapErrors([&] {
        plugInsEnabled = cbEnablePlugins->isChecked();
        if (plugInsEnabled) {
            txtServerPort->setEnabled(true);
            txtServerPort->setText(convert::toText(serverPort));
            fClients->setEnabled(true);
            fillClientList();
        } else {
            txtServerPort->setEnabled(false);
            fClients->setEnabled(false);
        }
    });
}

void frmPlugInsSetup::cmdClientAdd_Click() {
    trapErrors([&] {
        // An empty port box means any port; anything else must be a port,
        // or the entry would silently admit every port of that address.
        std::int32_t port = 0;
        if (!txtRemotePort->text().isEmpty()) {
            const auto typed = typedNumber(txtRemotePort->text());
            if (!typed || *typed < 0 || *typed > kMaxPort) {
                Prompter::msgBox(loadResString(16202), Msg::OKOnly, loadResString(16060), this);
                return;
            }
            port = *typed;
        }
        auto p = std::make_shared<PlugIn>();
        p->name = txtClientName->text();
        p->description = txtClientDescription->text();
        p->remoteHost = txtRemoteIP->text();
        p->remotePort = port;
        p->connected = false;
        if (noPlugIns) {
            plugIns.clear();
            noPlugIns = false;
        }
        plugIns.append(p);
        txtClientName->clear();
        txtClientDescription->clear();
        txtRemoteIP->clear();
        txtRemotePort->clear();
        fillClientList();
    });
}

void frmPlugInsSetup::cmdClientRemove_Click() {
    trapErrors([&] {
        const QList<QTreeWidgetItem*> selected = lvClientPlugIns->selectedItems();
        if (selected.isEmpty()) {
            Prompter::msgBox(loadResString(16055), Msg::OKOnly, loadResString(16056), this);
            fillClientList();
            return;
        }
        const std::int16_t k = convert::toInt16(selected.first()->data(0, Qt::UserRole).toString());
        if (noPlugIns || k < 0 || k >= plugIns.size())
            raiseError(ErrNum::SubscriptOutOfRange);
        if (plugIns.size() == 1) {
            plugIns.clear();
            noPlugIns = true;
        } else {
            plugIns.removeAt(k);
        }
        fillClientList();
    });
}

void frmPlugInsSetup::cmdClose_Click() {
    trapErrors([&] {
        const std::int32_t port = typedNumber(txtServerPort->text()).value_or(0);
        if (plugInsEnabled) {
            if (port < 1) {
                Prompter::msgBox(loadResString(16059), Msg::OKOnly, loadResString(16060), this);
                return;
            }
            // A TCP port has 16 bits; a larger number would never be listened on.
            if (port > kMaxPort) {
                Prompter::msgBox(loadResString(16201), Msg::OKOnly, loadResString(16060), this);
                return;
            }
            serverPort = port;
            savePlugInSettings();
            Prompter::msgBox(loadResString(16057), Msg::OKOnly, loadResString(16058), this);
        } else {
            savePlugInSettings();
        }
        unload();
    });
}

void frmPlugInsSetup::fillClientList() {
    trapErrors([&] {
        lvClientPlugIns->clear();
        if (noPlugIns)
            return;
        for (int i = 0; i < plugIns.size(); ++i) {
            const auto& p = plugIns[i];
            if (!p)
                raiseError(ErrNum::ObjectNotSet);
            auto* row = new QTreeWidgetItem(lvClientPlugIns);
            row->setText(0, p->name);
            row->setData(0, Qt::UserRole, QString::number(i));
            row->setText(1, p->description);
            row->setText(2, p->remoteHost);
            row->setText(3, convert::toText(p->remotePort));
        }
    });
}

void frmPlugInsSetup::keyPressEvent(QKeyEvent* event) {
    if (!swallowEnter(event))
        QDialog::keyPressEvent(event);
}

void frmPlugInsSetup::reject() {
    unload();
}

void frmPlugInsSetup::closeEvent(QCloseEvent* event) {
    event->accept();
    unload();
}

void frmPlugInsSetup::unload() {
    if (gSetupWindow == this)
        gSetupWindow = nullptr;
    // Ends the modal loop when there is one.
    done(QDialog::Rejected);
    deleteLater();
}
