#pragma once

#include "Transactions.h"

#include <QString>

namespace cvi {

// Exchanges of the Atmo3 and System pages and of the Beep button that the parameter reads do not
// cover. Each opens the channel's port, writes, reads at most one reply and closes the port on
// every way out; lines are reported through the link's observer.

// Reads one parameter after a wake-up text of the page's own: open, `wakeUp` and a 10 ms pause,
// the read command (prefix + mnemonic) with one leading star, or with two when `pageLine`, one
// reply under `timeout`, close, one pass of the user interface.
Reply readAfterWakeUp(const Channel& channel, const QString& mnemonic, const QString& wakeUp, bool pageLine,
                      double timeout);

// How a display, self-test or beep command goes out.
struct CommandStep {
    bool wakeUp = false;    // a lone "*" and 10 ms before the line
    double waitFirst = 0.0; // seconds to wait for a first character after the line (the interface
                            // does not run)
    bool readReply = false; // then read one reply under the time-out
};

// Open, "*" + command text + CR LF as the step says, close. The reply when one was read.
Reply sendCommand(const Channel& channel, const QString& commandText, double timeout, CommandStep step);

// Whether a typed value can go on a command line as it is: no line breaks or other control
// characters, nothing beyond Latin-1.
bool fitsOnLine(const QString& text);

// The System page's result of a check: a value of exactly "Y" or "N" is the memory check's
// (lblMC), anything else the check stack's (lblCS).
inline bool isMemoryCheckAnswer(const QString& value) {
    return value == QLatin1String("Y") || value == QLatin1String("N");
}

} // namespace cvi
