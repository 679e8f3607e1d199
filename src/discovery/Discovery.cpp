#include "Discovery.h"

#include "CommsSetup.h"
#include "Guard.h"
#include "PageHost.h"
#include "Renumbering.h"
#include "SystemCheck.h"

namespace cvi {

namespace {
// The pages that show baud rate and parity follow a change, and the Sampling page starts over.
void adoptLinkSettings(PageHost& main) {
    emit main.samplingResetRequested();
    emit main.linkSettingsChanged();
}

void openCommsSetup(PageHost& main, int tab) {
    if (main.portBusy()) return;
    main.setLeftMessage(QString());
    main.showPages(false);
    CommsSetup dialog(main.state(), main.runtime(), main.op(), main.makeLink(), main.window());
    QObject::connect(&dialog, &CommsSetup::leftMessageChanged, &main, &PageHost::setLeftMessage);
    QObject::connect(&dialog, &CommsSetup::panelShown, &main, [&main] { main.showPages(true); });
    QObject::connect(&dialog, &CommsSetup::settingsAdopted, &main, [&main] { adoptLinkSettings(main); });
    dialog.selectTab(tab);
    main.op().runModal(dialog);
    // A dialog that went away some other way leaves things as Cancel does.
    if (!dialog.closedByOperator()) dialog.reject();
    if (tab == CommsSetup::TabSettings) main.RefreshIdLists();
}

void startupFromMenu(PageHost& main) {
    if (main.portBusy()) return;
    AppState& state = main.state();
    state.IDList.clear();
    main.setLeftMessage(QString());
    main.showPages(false);
    for (const char* name : {"mnuMeasure", "mnuSettings", "mnuTimeout"})
        main.setActionEnabled(QString::fromLatin1(name), false);
    showStartupDialog(main);
    if (!state.IDList.isEmpty()) {
        main.showPages(true);
        main.setActionEnabled(QStringLiteral("mnuMeasure"), true);
        main.setActionEnabled(QStringLiteral("mnuSettings"), true);
        main.setLeftMessage(QStringLiteral("Push the start button!"));
    }
}

} // namespace

void showStartupDialog(PageHost& main) {
    frmSystemCheck dialog(main);
    main.op().runModal(dialog);
    dialog.settleUnclosed();
}

void installDiscovery(PageHost& main) {
    Operator& op = main.op();
    main.onAction(QStringLiteral("mnuStartup"),
                  [&main, &op] { guarded(op, [&main] { startupFromMenu(main); }); });
    main.onAction(QStringLiteral("mnuSettings"),
                  [&main, &op] { guarded(op, [&main] { openCommsSetup(main, CommsSetup::TabSettings); }); });
    main.onAction(QStringLiteral("mnuTimeout"),
                  [&main, &op] { guarded(op, [&main] { openCommsSetup(main, CommsSetup::TabTimeout); }); });
    QObject::connect(&main, &PageHost::renumberRequested, &main, [&main, &op](QLabel* command) {
        guarded(op, [&main, command] { renumberLoop(main, command); });
    });
}

} // namespace cvi
