#pragma once

#include "AppState.h"
#include "Operator.h"
#include "PortMap.h"
#include "Runtime.h"
#include "SerialPort.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace cvi {

// One window's serial object and the exchanges on it: open with the shared settings, the
// wake-up star, command lines, and the reply readers. Every window owns one; all of them
// address the same physical port and hold it open only for one transaction.
//
// The readers let the user interface run while they wait, but they block in the event loop
// (through the runtime) instead of polling the clock, so a wait for a silent instrument costs
// next to no processor time.
class Link : public QObject {
    Q_OBJECT
public:
    // Longest line a reader collects before it gives the line up as broken.
    static constexpr int MaxLine = 4096;
    // Characters waiting above which a continuous reading reports "Overflow".
    static constexpr int OverflowCount = 900;

    Link(AppState& state, Runtime& runtime, Operator& op, const PortMap& ports, std::unique_ptr<SerialPort> port,
         QObject* parent = nullptr);
    ~Link() override;

    AppState& state() { return state_; }
    Runtime& runtime() { return runtime_; }
    Operator& op() { return op_; }
    SerialPort& port() { return *port_; }
    const PortMap& ports() const { return ports_; }

    // ---- the port ----
    // The settings from the shared state: slot from PortName, "BaudRate,Parity,DataBits,1".
    PortSettings sharedSettings() const;
    // Opens with the shared settings. Throws PortError.
    void OpenPort();
    // Opens only when the port is not already open (the Baud Lock dialog's variant).
    void OpenPortIfClosed();
    // Opens a given slot with a settings text such as "9600,N,8,1" (loop discovery).
    void OpenPortWith(const QString& portName, const QString& settingsText);
    void ClosePort();
    bool PortOpen() const { return port_->isOpen(); }

    // Writes the text byte for byte (Latin-1). Throws PortError(NotOpen) on a closed port.
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

    // ---- readers (all wait ReadTimeout seconds from the shared state) ----
    // One reply line with CR LF; no value on time-out; empty text (after the "Data Error"
    // message) when the line does not end in CR LF.
    std::optional<QString> ReadInput();
    // One line, "Overflow" when more than 900 characters wait, empty text on time-out.
    QString ReadContinuous();
    // One line without CR and LF; no value on time-out.
    std::optional<QString> ReadTerminalInput();
    // One line with a time-out per character; the characters so far when it runs out.
    // The user interface does not run.
    QString ReadReply();
    // Sends "*" + caption + CR LF (a broadcast write) and gathers the replies of all instruments
    // for three seconds, handing each to `append`. Returns the value character of the last reply,
    // or empty text.
    QString CollectBroadcastReplies(const QString& caption, const std::function<void(const QString&)>& append);

    // True when a reader ended because the device vanished (reported to the operator once).
    bool lostDuringRead() const { return lossNoticed_; }

signals:
    void portLost(const QString& device);

private:
    QChar takeChar();
    bool gone() const { return !port_->isOpen() || port_->isLost(); }
    void noticeLoss();
    void waitForMore(double deadline, int moreThan, bool runInterface);

    AppState& state_;
    Runtime& runtime_;
    Operator& op_;
    const PortMap& ports_;
    std::unique_ptr<SerialPort> port_;
    bool lossNoticed_ = false;
    bool lossReported_ = false;
};

} // namespace cvi
