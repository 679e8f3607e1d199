#pragma once

#include "Loop.h"
#include "SerialPort.h"

namespace cvi::sim {

// The serial seam wired to a simulated loop in-process. It knows the program's line settings
// exactly. Characters that reach it while it is closed are lost, as on a real line; a second
// port object cannot hold the line while another has it open (the device is busy).
class SimPort : public SerialPort {
    Q_OBJECT
public:
    explicit SimPort(Loop& loop, QObject* parent = nullptr);
    ~SimPort() override;

    void open(const PortSettings& settings) override;
    void close() override;
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override;
    bool lineWaiting() override;
    QByteArray read(int maxBytes) override;
    void discardInput() override;
    void setInputBufferSize(int bytes) override { inputBufferSize_ = std::max(bytes, 1); }
    bool waitForInput(double seconds, int moreThan = 0) override;
    QString deviceName() const override { return device_; }

    // Characters dropped because the receive buffer was full.
    long overflowed() const { return overflowed_; }

private:
    void receive(const QByteArray& bytes);
    void onLoopLost();

    Loop& loop_;
    QByteArray buffer_;
    QString device_ = QStringLiteral("sim");
    bool open_ = false;
    bool lost_ = false;
    int inputBufferSize_ = 1024;
    long overflowed_ = 0;
};

} // namespace cvi::sim
