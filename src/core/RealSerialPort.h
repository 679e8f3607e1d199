#pragma once

#include "SerialPort.h"

#include <QSerialPort>

namespace cvi {

// The real port over QSerialPort.
//
// Qt 6.4 on Linux reports a vanished device (a USB adapter pulled, the far end of a
// pseudo-terminal closed) as a storm of ReadError with the port still open. Every error other
// than NoError, TimeoutError and UnsupportedOperationError while open counts as "device lost":
// it is reported once, the port is closed through a queued call, and waits end at once.
class RealSerialPort : public SerialPort {
    Q_OBJECT
public:
    explicit RealSerialPort(QObject* parent = nullptr);
    ~RealSerialPort() override;

    void open(const PortSettings& settings) override;
    void close() override;
    bool isOpen() const override;
    bool isLost() const override { return lost_; }
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override;
    bool lineWaiting() override;
    QByteArray read(int maxBytes) override;
    void discardInput() override;
    void setInputBufferSize(int bytes) override;
    bool waitForInput(double seconds, int moreThan = 0) override;
    QString deviceName() const override { return device_; }

    // How many error reports Qt raised during this open (the storm is counted, not acted on).
    qint64 errorReports() const { return errorReports_; }
    // Bytes written to the port object and not yet handed to the driver.
    qint64 bytesToWrite() const { return port_.bytesToWrite(); }

protected:
    // Waits until the driver has sent every queued byte. close() calls it with the port still
    // open: closing puts back, at once, the line settings the port had before it was opened, so
    // bytes still queued would otherwise leave at the old rate.
    virtual void drainOutput();

private:
    void onError(QSerialPort::SerialPortError error);
    void pullPending();

    QSerialPort port_;
    QString device_;
    int inputBufferSize_ = 1024;
    bool lost_ = false;
    qint64 errorReports_ = 0;
};

// Chooses the backend by device name at open time, so that a slot mapped to "sim" reaches the
// simulated loop and any other slot the real port.
class RoutedPort : public SerialPort {
    Q_OBJECT
public:
    explicit RoutedPort(PortMaker maker, QObject* parent = nullptr);

    void open(const PortSettings& settings) override;
    void close() override;
    bool isOpen() const override;
    bool isLost() const override;
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override;
    bool lineWaiting() override;
    QByteArray read(int maxBytes) override;
    void discardInput() override;
    void setInputBufferSize(int bytes) override;
    bool waitForInput(double seconds, int moreThan = 0) override;
    QString deviceName() const override;

    SerialPort* backend() const { return backend_.get(); }

private:
    PortMaker maker_;
    std::unique_ptr<SerialPort> backend_;
    QString backendDevice_;
    int inputBufferSize_ = 1024;
};

} // namespace cvi
