#include "PageCommands.h"

#include "Frames.h"

namespace cvi {

Reply readAfterWakeUp(const Channel& channel, const QString& mnemonic, const QString& wakeUp, bool pageLine,
                      double timeout) {
    Reply reply;
    {
        const Transaction t(channel, false);
        const QString command = readCommand(channel.prefix, mnemonic);
        t.show(command);
        t.write(wakeUp);
        channel.link.Delay(0.010);
        t.write(pageLine ? cvi::pageLine(command) : command + CRLF);
        reply = t.readAnswer(mnemonic, timeout);
    }
    channel.link.runtime().pump();
    return reply;
}

Reply sendCommand(const Channel& channel, const QString& commandText, double timeout, CommandStep step) {
    const Transaction t(channel, step.wakeUp);
    t.send(commandText);
    if (step.waitFirst > 0) channel.link.WaitForInput(step.waitFirst);
    if (!step.readReply) {
        // Nothing is read: a device that vanished meanwhile still has to be reported.
        channel.link.checkNotLost();
        return {};
    }
    return t.read(timeout);
}

bool fitsOnLine(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.unicode() > 0xFF) return false;
    return true;
}

} // namespace cvi
