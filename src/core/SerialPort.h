#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace cvi {

// Line settings of one open: which device, and the 'baud,parity,data,stop' of the loop.
struct PortSettings {
    QString device;     // resolved device path, or "sim" for the built-in loop
    int portNumber = 1; // the COM slot the device was resolved from (1..4)
    int baudRate = 9600;
    char parity = 'N'; // 'N', 'E' or 'O'
    int dataBits = 8;
    int stopBits = 1;

    // The settings text the instruments' documentation uses, e.g. "9600,N,8,1".
    QString settingsText() const;
};

// Typed failures of the serial seam. The numbers are the ones the dialogs react to.
class PortError : public std::runtime_error {
public:
    enum class Kind {
        Unavailable,      // device missing, busy or locked (8010)
        PermissionDenied, // the user may not open the device (also 8010, with a hint)
        NotOpen,          // an operation on a closed port (8018)
        DeviceLost,       // the device vanished while open
        BadSettings,      // baud rate, parity or data bits the device refused
    };
    PortError(Kind kind, const QString& message);
    Kind kind() const { return kind_; }
    int code() const;
    QString text() const { return QString::fromUtf8(what()); }

private:
    Kind kind_;
};

// What a window needs of its serial port. One object per window; every window addresses the same
// physical port and opens it only for the length of one transaction.
class SerialPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialPort() override = default;

    virtual void open(const PortSettings& settings) = 0; // throws PortError
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // True once the device vanished during this open; cleared by the next open.
    virtual bool isLost() const = 0;

    virtual void write(const QByteArray& bytes) = 0; // throws PortError(NotOpen) when closed
    // Characters received and not yet read.
    virtual int bytesWaiting() = 0;
    // True when a whole line, up to its LF, waits to be read; false when not or when the port
    // cannot tell.
    virtual bool lineWaiting() { return false; }
    virtual QByteArray read(int maxBytes) = 0;
    virtual void discardInput() = 0;
    virtual void setInputBufferSize(int bytes) = 0;
    // Blocks without running the user interface until more than `moreThan` characters wait,
    // the device is lost, or the time has passed. Returns true when that many characters wait.
    virtual bool waitForInput(double seconds, int moreThan = 0) = 0;

    virtual QString deviceName() const = 0;

signals:
    void readyRead();
    void deviceLost();
};

using PortMaker = std::function<std::unique_ptr<SerialPort>(const QString& device)>;

} // namespace cvi
