#pragma once

#include "Catalogue.h"
#include "Transactions.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cvi::edit {

// The checks and exchanges of a parameter change, shared by the value-box edits of the pages, the
// option dialogs and the command-line tool. What a refusal or an echo shows is left to the caller.

// PR: numeric and, rounded to a whole number (halves to the even neighbour), 1 to 16383.
bool validResolution(const QString& answer);

// Why a value typed for a parameter would not be sent; empty when it goes on the line as typed.
// The prompt edits refuse a value the line cannot carry and an H1 that does not begin with "RHT"
// ("Invalid Entry"), and ask again for a PR out of range; the option dialogs offer only their codes.
QString refusal(const catalogue::Parameter& parameter, const QString& value);

// The codes a parameter changed through a dialog accepts ("0".."3" for MD); empty for the others.
QStringList codesOf(const catalogue::Parameter& parameter);

// The pressure integration time, as shown: PR (a whole number) times 33, or 60 when T1 is above
// 33, over 10000 seconds, rounded for display. "-" when PR is not a number.
QString integrationTimeText(const QString& pr, const std::optional<QString>& t1);

// The T1 read behind the integration time: open, the read line without a wake-up, one reply, close.
Reply readIntegrationT1(const Channel& channel, double timeout);

// A prompt edit's write and what it reads again: PR re-reads TR on the same open (up to 1.5 s for
// its first character), a confirmed ZV re-reads ZS on a fresh open.
struct PromptWrite {
    Reply echo;
    bool confirmed = false; // the echo holds a value (for LL and LH: any answer)
    std::optional<Reply> tr;
    std::optional<Reply> zs;
};
PromptWrite writePrompted(const Channel& channel, const catalogue::Parameter& parameter, const QString& value,
                          double timeout);

} // namespace cvi::edit
