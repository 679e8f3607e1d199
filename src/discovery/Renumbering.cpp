#include "Renumbering.h"

#include "Frames.h"
#include "PageFrame.h"
#include "PageHost.h"
#include "Transactions.h"

#include <QLabel>

#include <cmath>

namespace cvi {

namespace {

// The answer as a first identifier; anything that is not a whole number counts as 99, which is
// out of range and asked again.
int firstIdOf(const QString& answer) {
    if (!isNumeric(answer)) return 99;
    const double value = leadingNumber(answer.trimmed());
    if (std::floor(value) != value || value < 0 || value > 1000) return 99;
    return static_cast<int>(value);
}

QString twoDigits(int n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}
} // namespace

QString renumberPrompt() {
    return QStringLiteral("Enter the ID of the first instrument in the serial loop. ") +
           QStringLiteral(
               "Corvanel Interactive will automatically renumber the instruments sequentially beginning "
               "with the ID entered. ") +
           QStringLiteral("The ID can be a number 1-98.");
}

void renumberLoop(PageHost& main, QLabel* command) {
    AppState& state = main.state();
    Operator& op = main.op();
    if (command) command->clear();
    main.setLeftMessage(QString());
    main.setMiddleMessage(QString());

    int first = 0;
    for (;;) {
        const QString answer =
            op.input(renumberPrompt(), QStringLiteral("Renumbering Instruments"), QStringLiteral("01"));
        if (answer.isEmpty()) return;
        first = firstIdOf(answer);
        if (first >= 1 && first <= HighestInstrumentId) break;
    }
    if (const QString why = renumberRefusal(first, state.InstrumentCount); !why.isEmpty()) {
        op.message(why, QStringLiteral("Warning"), Operator::Icon::Exclamation);
        return;
    }

    if (command) command->setText(renumberCommand(first));
    PageObserver shown(PageContext{nullptr, command, nullptr, {}}, op);
    const Observing observing(main.link(), &shown);
    renumberLoop(main.channel(), first);

    main.clearIdLists();
    main.setMiddleMessage(QStringLiteral("Instrument IDs have been changed !"));

    // The instruments are not asked again: they now count on from the first identifier.
    QString ids;
    for (int i = 0, id = first; i < state.InstrumentCount; ++i, ++id)
        ids += twoDigits(id);
    state.IDList = ids;
    main.RefreshIdLists();
}

} // namespace cvi
