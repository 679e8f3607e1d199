#pragma once

#include "LinkSettings.h"
#include "PortMap.h"
#include "Runtime.h"
#include "SerialPort.h"

#include <QObject>
#include <QString>

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
    // One line without CR and LF; no value on time-out.
    std::optional<QString> ReadTerminalInput(double timeout);
    // One line with a time-out per character; the characters so far when it runs out.
    // The user interface does not run.
    QString ReadReply(double timeout);

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

    Runtime& runtime_;
    const PortMap& ports_;
    std::unique_ptr<SerialPort> port_;
    ExchangeObserver* observer_ = nullptr;
};

} // namespace cvi
