#pragma once

#include "Loop.h"
#include "RealScheduler.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QSocketNotifier;

namespace cvi::sim {

// Serves a simulated loop on a pseudo-terminal so that the program reaches it through the real
// serial port code. The program opens the slave side by name (a symlink at `linkPath`).
//
// What the simulator can see of the program: its open and close (QSerialPort puts the terminal
// into raw mode on open and restores it on close; the idle terminal here is canonical without
// echo) and its baud rate (the terminal settings read on the master). A pseudo-terminal carries
// neither parity nor 7-bit characters, so the listener's frame is inferred: while the program's
// last line was a discovery probe ("*9900VR" without line end, "*00") or the discovery broadcast
// ("**9900VR" CR LF) it is taken to listen with 8 data bits and no parity, as loop discovery does;
// otherwise with the loop's own parity. `--host-frame 8N1` or `loop` fixes it instead.
class PtyHost : public QObject {
    Q_OBJECT
public:
    enum class FrameRule { Auto, EightNone, Loop };

    PtyHost(LoopConfig config, QString linkPath, FrameRule rule, bool verbose, QObject* parent = nullptr);
    ~PtyHost() override;

    // Creates the pseudo-terminal and the link; false with a message on failure.
    bool start(QString* error);
    QString slavePath() const { return slavePath_; }
    Loop& loop() { return *loop_; }
    bool programHasPort() const { return open_; }

    // The adapter is pulled: the link and the pseudo-terminal go at once, and a program holding
    // the port sees its device vanish. The loop's device-lost fault (lostAfterWrites) pulls it
    // too. replug() brings a new pseudo-terminal back behind the same link, the loop as it was.
    void unplug();
    bool replug(QString* error);
    bool plugged() const { return master_ >= 0; }
    long droppedWhileClosed() const { return dropped_; }
    // The longest the loop fell behind the wire (seconds).
    double longestLate() const { return scheduler_.longestLate(); }
    long delivered() const { return delivered_; }

signals:
    void programOpened(int baud);
    void programClosed();

private:
    void poll();
    void readProgram();
    void deliver(const QByteArray& bytes);
    HostFrame frameFor(int baud) const;
    void noteLine(const QByteArray& bytes);

    LoopConfig config_;
    QString linkPath_;
    FrameRule rule_;
    bool verbose_;
    RealScheduler scheduler_;
    std::unique_ptr<Loop> loop_;
    int master_ = -1;
    int slaveKeep_ = -1; // keeps the slave side alive while the program has it closed
    QString slavePath_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer poller_;
    bool open_ = false;
    int baud_ = 0;
    bool discoveryFrame_ = false;
    QByteArray pendingLine_;
    long dropped_ = 0;
    long delivered_ = 0;
};

} // namespace cvi::sim
