#include "LiveReader.h"

#include "Frames.h"
#include "SerialPort.h"

#include <algorithm>

namespace cvi {

namespace {
constexpr double PastDeadline = 0.001; // a wait ends just after its deadline, never just before
constexpr double MoreComing = 1.0;     // the recovery's wait when characters came
} // namespace

LiveReader::LiveReader(Link& link, std::function<bool()> exiting)
    : link_(link), exiting_(std::move(exiting)) {}

QString LiveReader::ask(const QString& id, const QString& mnemonic, double timeout, bool parameter) {
    link_.Output(QLatin1Char('*') + id + QStringLiteral("00") + mnemonic + CRLF);
    // Its answer is on its way whether or not it is read: an Exit now leaves the line owed it.
    link_.awaitAnswer(link_.SecondsNow() + timeout);
    if (exiting_()) return {};
    return readReply(id, parameter ? mnemonic : QString(), timeout);
}

QString LiveReader::readReply(const QString& id, const QString& mnemonic, double timeout) {
    Runtime& runtime = link_.runtime();
    const double start = link_.SecondsNow();
    link_.awaitAnswer(start + timeout);
    QString line;
    for (;;) {
        if (exiting_()) return {};
        if (link_.InBufferCount() > 0) {
            const QString c = link_.InputChar();
            if (c == QStringLiteral("*") && !line.isEmpty())
                line = c;
            else
                line += c;
            if (c == QStringLiteral("\n")) {
                // The tail of a line, a parameter's reply (the late answer to the recovery's
                // version request) or another instrument's line (a late answer of another window,
                // an instrument streaming unasked) is no reading of this one: passed over, the
                // wait goes on, and the answer still on its way is the one shown.
                if (!answers(line, QLatin1Char('*') + id + QStringLiteral("00"), mnemonic)) {
                    if (passedOver_) passedOver_(line);
                    line.clear();
                    continue;
                }
                link_.answerCame();
                return line.endsWith(CRLF) ? line : QString();
            }
            if (line.size() > Link::MaxLine) {
                link_.answerCame();
                return {};
            }
            runtime.pump();
        } else {
            link_.checkNotLost();
            if (!link_.PortOpen())
                throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
            // Waits in the event loop: an Exit click or arriving characters end the wait at once.
            runtime.pump(std::max(start + timeout - link_.SecondsNow(), 0.0) + PastDeadline);
        }
        if (link_.SecondsNow() - start > timeout) {
            link_.answerCame();
            return {};
        }
    }
}

bool LiveReader::recover(const QString& addressPrefix, double pause) {
    Runtime& runtime = link_.runtime();
    // Any command ends a continuous output that may be keeping the instrument busy.
    link_.Output(QLatin1Char('*') + addressPrefix + QStringLiteral("VR") + CRLF);
    const double start = link_.SecondsNow();
    while (link_.SecondsNow() - start <= pause && !exiting_()) {
        link_.checkNotLost();
        runtime.pump(start + pause - link_.SecondsNow() + PastDeadline);
    }
    const bool came = link_.InBufferCount() > 0 && !exiting_();
    if (came) link_.Delay(MoreComing);
    link_.ClearInBuffer();
    return came;
}

} // namespace cvi
