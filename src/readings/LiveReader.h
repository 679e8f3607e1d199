#pragma once

#include "Link.h"

#include <QString>

#include <functional>

namespace cvi {

// The live windows' exchanges on a window's own serial object, for whichever instrument a window
// reads: one command line and the one line that can be its answer, and the recovery when none
// came. The window's exit flag, asked on every poll, ends every wait at once.
class LiveReader {
public:
    LiveReader(Link& link, std::function<bool()> exiting);

    // Writes "*" + id + "00" + mnemonic + CR LF on the open port and reads the reply under
    // `timeout`: the reply naming `mnemonic` when `parameter`, else a data reply. Empty text when
    // none came or Exit was pressed.
    QString ask(const QString& id, const QString& mnemonic, double timeout, bool parameter = false);
    // One whole reply line of instrument `id` (a data reply, or the reply naming `mnemonic`), or
    // empty text on Exit or time-out; lines that cannot be its answer are passed over.
    QString readReply(const QString& id, const QString& mnemonic, double timeout);
    // No answer: a version request to `addressPrefix` ends any continuous output that may keep
    // the instrument busy, a pause of `pause` seconds, one more when characters came meanwhile,
    // and the receive buffer emptied. True when characters came (and Exit was not pressed).
    bool recover(const QString& addressPrefix, double pause);

    // Hears every whole line the reader passed over.
    void onPassedOver(std::function<void(const QString&)> heard) { passedOver_ = std::move(heard); }

private:
    Link& link_;
    std::function<bool()> exiting_;
    std::function<void(const QString&)> passedOver_;
};

} // namespace cvi
