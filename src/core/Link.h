#pragma once

#include "LinkSettings.h"
#include "PortMap.h"
#include "Runtime.h"
#include "SerialPort.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace cvi {

// Hears about the lines of a window's exchanges. Pages fill their command label and response
// box from it, the command-line tool prints it; the core itself never shows anything.
class ExchangeObserver {
public:
    virtual ~ExchangeObserver() = default;
    // The command text about to be sent (what a page shows in its command label).
    virtual void command(const QString& text) { Q_UNUSED(text) }
    // Bytes written to the port, exactly as written (wake-up stars included).
    virtual void sent(const QString& bytes) { Q_UNUSED(bytes) }
    // A reply line the transaction accepted (what a page appends to its response box).
    virtual void received(const QString& line) { Q_UNUSED(line) }
    // A line that ended in LF without CR before it ("CR and LF can not be detected !").
    virtual void brokenLine() {}
    // A broadcast reply for another mnemonic ("The responce is not an expected responce!").
    virtual void unexpectedReply() {}
    // A window puts this observer on the link for one exchange (a Start, a Send).
    virtual void watching() {}
};

// One window's serial object and the readers on it. Every window owns one; all of them address
// the same physical port and hold it open only for one transaction.
//
// Every reader takes its time-out as an argument. The readers let the user interface run while
// they wait, but they block in the event loop (through the runtime) instead of polling the
// clock, so a wait for a silent instrument costs next to no processor time. A device that
// vanishes while a reader waits ends the reader with PortError(DeviceLost).
class Link : public QObject {
    Q_OBJECT
public:
    // Longest line a reader collects before it gives the line up as broken.
    static constexpr int MaxLine = 4096;
    // Characters waiting above which a continuous reading reports "Overflow".
    static constexpr int OverflowCount = 900;

    Link(Runtime& runtime, const PortMap& ports, std::unique_ptr<SerialPort> port, QObject* parent = nullptr);
    ~Link() override;

    Runtime& runtime() { return runtime_; }
    SerialPort& port() { return *port_; }
    const PortMap& ports() const { return ports_; }
    void setObserver(ExchangeObserver* observer) { observer_ = observer; }
    ExchangeObserver* observer() const { return observer_; }
    // Lines reported as broken so far: a window that told the operator about the line once
    // need not add its own "can't read" for the same reply.
    int brokenLines() const { return brokenLines_; }

    // ---- the port ----
    // The device and line settings an open hands to the port: the slot's device from the map.
    PortSettings portSettings(const LinkSettings& settings) const;
    // Opens with the loop's settings. Throws PortError.
    void OpenPort(const LinkSettings& settings);
    // Opens only when the port is not already open (the Baud Lock dialog's variant).
    void OpenPortIfClosed(const LinkSettings& settings);
    void ClosePort();
    bool PortOpen() const { return port_->isOpen(); }

    // Writes the text byte for byte (Latin-1). Throws PortError: NotOpen on a closed port,
    // DeviceLost on a port whose device has vanished.
    void Output(const QString& text);
    // The lone wake-up "*" and its 10 ms pause.
    void WakeUp();
    int InBufferCount() { return port_->bytesWaiting(); }
    // A whole line waits to be read (false when the port cannot tell).
    bool LineWaiting() { return port_->lineWaiting(); }
    void ClearInBuffer() { port_->discardInput(); }
    // Everything waiting, in one read.
    QString InputAll();
    // One waiting character, or empty text.
    QString InputChar();
    void SetInBufferSize(int bytes) { port_->setInputBufferSize(bytes); }

    // ---- timing ----
    double SecondsNow() const { return runtime_.now(); }
    // A fixed delay; the user interface does not run.
    void Delay(double seconds) { runtime_.sleep(seconds); }
    // Returns once a character waits or the time has passed; the user interface does not run.
    void WaitForInput(double seconds);

    // ---- readers ----
    // One reply line with CR LF; no value on time-out; empty text (after telling the observer)
    // when the line does not end in CR LF.
    std::optional<QString> ReadInput(double timeout);
    // One line, "Overflow" when more than 900 characters wait, empty text on time-out.
    QString ReadContinuous(double timeout);
    // One reply line that `accept` takes (ReadInput's rules, one deadline for all of them): lines
    // that cannot be the answer are passed over. No value on time-out; empty text for a broken line.
    std::optional<QString> ReadInputFor(double timeout, const std::function<bool(const QString&)>& accept);
    // One line without CR and LF; no value on time-out.
    std::optional<QString> ReadTerminalInput(double timeout);
    // One line with a time-out per character; the characters so far when it runs out.
    // The user interface does not run. With `accept`, whole lines it does not take are passed
    // over and the reading goes on.
    QString ReadReply(double timeout, const std::function<bool(const QString&)>& accept = {});

    // ---- the line behind the port ----
    // Every serial object of the program on one device shares one line. A reader waiting for an
    // answer until `deadline` says so; when the exchange ends before the answer came (an Exit, a
    // Stop, a window closed mid-read), the line is owed that answer until the deadline, and the
    // next open on the line, from whichever window, first lets it pass and discards it.
    void awaitAnswer(double deadline);
    void answerCame() { awaiting_ = false; }
    // The line is owed `lines` more lines (0: whatever comes) until `deadline`.
    void owe(double deadline, int lines = 0);
    // While this object holds the line, another window that wants it may call `release` to have
    // it let go in good order (a continuous reading winding down after Stop); without one such a
    // window is refused. Cleared when the line is given up.
    void offerRelease(std::function<void()> release);
    bool offersRelease() const { return line_ && line_->holder == this && line_->release; }
    // What another window's message calls this serial object while it holds the line.
    void setHolderName(const QString& name) { holderName_ = name; }
    // The message for an open refused because another window of this program holds the line.
    static QString heldText(const QString& device, const QString& holder);

    // Throws the lost-device error when the device vanished during this open.
    void checkNotLost() const;
    // The message for a vanished device.
    static QString lostText(const QString& device);

private:
    QChar takeChar();
    bool gone() const { return !port_->isOpen() || port_->isLost(); }
    // A reader found the port gone: DeviceLost when the device vanished, NotOpen otherwise.
    [[noreturn]] void lost() const;
    void waitForMore(double deadline, bool runInterface);
    // Lets what the line is owed pass, with the user interface running, and discards it.
    void settleOwed();
    // Gives the line up: what is still awaited becomes owed.
    void release();

    Runtime& runtime_;
    const PortMap& ports_;
    std::unique_ptr<SerialPort> port_;
    ExchangeObserver* observer_ = nullptr;
    int brokenLines_ = 0;

    QString device_;            // the device of the last open
    LineState* line_ = nullptr; // the line while this object holds it
    QString holderName_;
    bool awaiting_ = false;      // an answer is awaited...
    double awaitDeadline_ = 0.0; // ...until then
};

} // namespace cvi
