#pragma once

#include "SerialPort.h"
#include "VirtualClock.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

namespace cvi::test {

// A serial port on simulated time whose input is scripted: bytes arrive at given times, or in
// answer to what the program writes. Everything written is recorded with its time.
class ScriptedPort : public SerialPort {
    Q_OBJECT
public:
    struct Written {
        double time;
        QByteArray bytes;
    };

    explicit ScriptedPort(sim::VirtualClock& clock) : clock_(clock) {}

    // Bytes that enter the receive buffer at time t (absolute), one after another at the given
    // spacing (0: all at once).
    void arrive(double t, const QByteArray& bytes, double spacing = 0.0);
    // Called with every write; may schedule arrivals.
    std::function<void(const QByteArray& written, double time)> onWrite;
    // Makes the next open fail.
    std::optional<PortError::Kind> openFailure;
    // The device disappears at time t.
    void loseAt(double t);

    void open(const PortSettings& settings) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override { return static_cast<int>(buffer_.size()); }
    QByteArray read(int maxBytes) override;
    void discardInput() override { buffer_.clear(); }
    void setInputBufferSize(int bytes) override { inputBufferSize = bytes; }
    bool waitForInput(double seconds, int moreThan = 0) override;
    QString deviceName() const override { return settings.device; }

    QByteArray writtenBytes() const;
    QList<Written> writes;
    PortSettings settings;
    int opens = 0;
    int inputBufferSize = 1024;
    long charsRead = 0;

private:
    sim::VirtualClock& clock_;
    QByteArray buffer_;
    bool open_ = false;
    bool lost_ = false;
};

} // namespace cvi::test
