#include "Discovery.h"

#include "CommsSetup.h"
#include "Guard.h"
#include "MainWindow.h"
#include "Renumbering.h"
#include "SystemCheck.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTabWidget>

namespace cvi {

namespace {
// The controls of other pages that follow a change of baud rate or parity, found by name.
void adoptLinkSettings(MainWindow& main) {
    const AppState& state = main.state();
    const auto show = [&main](const char* name, const QString& text) {
        for (QLabel* label : main.findChildren<QLabel*>(QString::fromLatin1(name)))
            label->setText(text);
    };
    show("lblBaudRate", state.BaudRate);
    emit main.samplingResetRequested();
    show("lblCommandBox", QString());
    show("lblParity", state.Parity);
    emit main.linkSettingsChanged();
}

void openCommsSetup(MainWindow& main, int tab) {
    main.setLeftMessage(QString());
    main.panel()->hide();
    CommsSetup dialog(main.state(), main.runtime(), main.op(), main.makeLink(), &main);
    QObject::connect(&dialog, &CommsSetup::leftMessageChanged, &main, &MainWindow::setLeftMessage);
    QObject::connect(&dialog, &CommsSetup::panelShown, &main, [&main] { main.panel()->show(); });
    QObject::connect(&dialog, &CommsSetup::settingsAdopted, &main, [&main] { adoptLinkSettings(main); });
    dialog.selectTab(tab);
    main.op().runModal(dialog);
    // A dialog that went away some other way leaves things as Cancel does.
    if (!dialog.closedByOperator()) dialog.reject();
    if (tab == CommsSetup::TabSettings) main.RefreshIdLists();
}

void startupFromMenu(MainWindow& main) {
    AppState& state = main.state();
    state.IDList.clear();
    main.setLeftMessage(QString());
    main.panel()->hide();
    for (const char* name : {"mnuMeasure", "mnuSettings", "mnuTimeout"})
        main.setActionEnabled(QString::fromLatin1(name), false);
    showStartupDialog(main);
    if (!state.IDList.isEmpty()) {
        main.panel()->show();
        main.setActionEnabled(QStringLiteral("mnuMeasure"), true);
        main.setActionEnabled(QStringLiteral("mnuSettings"), true);
        main.setLeftMessage(QStringLiteral("Push the start button!"));
    }
}

void hintRenumbering(MainWindow& main) {
    auto* button = main.findChild<QWidget*>(QStringLiteral("cmdAutoNumber"));
    if (!button) return;
    main.hint(button, [&main]() -> QString {
        const auto* start = main.findChild<QAbstractButton*>(QStringLiteral("cmdConfigurationStart"));
        if (start && !start->isEnabled()) return QStringLiteral("Click to change !");
        return QString();
    });
}
} // namespace

void showStartupDialog(MainWindow& main) {
    frmSystemCheck dialog(main);
    main.op().runModal(dialog);
    dialog.settleUnclosed();
}

void installDiscovery(MainWindow& main) {
    Operator& op = main.op();
    main.onAction(QStringLiteral("mnuStartup"),
                  [&main, &op] { guarded(op, [&main] { startupFromMenu(main); }); });
    main.onAction(QStringLiteral("mnuSettings"),
                  [&main, &op] { guarded(op, [&main] { openCommsSetup(main, CommsSetup::TabSettings); }); });
    main.onAction(QStringLiteral("mnuTimeout"),
                  [&main, &op] { guarded(op, [&main] { openCommsSetup(main, CommsSetup::TabTimeout); }); });
    QObject::connect(&main, &MainWindow::renumberRequested, &main,
                     [&main, &op] { guarded(op, [&main] { renumberLoop(main); }); });
    hintRenumbering(main);
}

} // namespace cvi
