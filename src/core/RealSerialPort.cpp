#include "RealSerialPort.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

#if defined(Q_OS_UNIX)
#include <termios.h>
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <windows.h>
#endif

namespace cvi {

namespace {
QSerialPort::Parity toQt(char parity) {
    switch (parity) {
    case 'E':
        return QSerialPort::EvenParity;
    case 'O':
        return QSerialPort::OddParity;
    default:
        return QSerialPort::NoParity;
    }
}

QString permissionHint(const QString& device) {
#ifdef Q_OS_LINUX
    // The serial library also reports a device another program has locked as a permission error;
    // a device we may read and write is not a question of the group.
    if (::access(qPrintable(device), R_OK | W_OK) == 0)
        return QStringLiteral("%1 is in use by another program. Close the port there, then retry.")
            .arg(device);
    return QStringLiteral("Permission denied on %1. Add your user to the 'dialout' group "
                          "(sudo usermod -aG dialout $USER), log out and in again, then retry.")
        .arg(device);
#else
    return QStringLiteral("Permission denied on %1. Close other programs using the port, or ask your "
                          "administrator for access to it.")
        .arg(device);
#endif
}
} // namespace

RealSerialPort::RealSerialPort(QObject* parent) : SerialPort(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialPort::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &RealSerialPort::onError);
}

RealSerialPort::~RealSerialPort() {
    if (port_.isOpen()) port_.close();
}

void RealSerialPort::drainOutput() {
    if (!port_.isOpen() || lost_) return;
    // Everything still in the port object goes to the driver first, then the driver sends it.
    if (port_.bytesToWrite() > 0) port_.waitForBytesWritten(1000);
#if defined(Q_OS_UNIX)
    ::tcdrain(static_cast<int>(port_.handle()));
#elif defined(Q_OS_WIN)
    ::FlushFileBuffers(port_.handle());
#endif
}

void RealSerialPort::open(const PortSettings& settings) {
    close();
    lost_ = false;
    errorReports_ = 0;
    device_ = settings.device;
    if (device_.isEmpty())
        throw PortError(PortError::Kind::Unavailable, QStringLiteral("No device for this port."));

    // Line settings go in before open(): a pseudo-terminal refuses parity and 7 data bits
    // afterwards but accepts them now.
    port_.setPortName(device_);
    port_.setBaudRate(settings.baudRate);
    port_.setParity(toQt(settings.parity));
    port_.setDataBits(settings.dataBits == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    port_.setStopBits(settings.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(std::max(inputBufferSize_, 1024));

    if (!port_.open(QIODevice::ReadWrite)) {
        const auto error = port_.error();
        const QString why = port_.errorString();
        port_.clearError();
        if (error == QSerialPort::PermissionError)
            throw PortError(PortError::Kind::PermissionDenied, permissionHint(device_));
        if (error == QSerialPort::DeviceNotFoundError)
            throw PortError(PortError::Kind::Unavailable, QStringLiteral("%1 does not exist.").arg(device_));
        throw PortError(PortError::Kind::Unavailable,
                        QStringLiteral("%1 cannot be opened: %2").arg(device_, why));
    }
    // Qt 6.4 can hand over bytes left from an earlier session.
    port_.clear(QSerialPort::Input);
}

void RealSerialPort::close() {
    if (!port_.isOpen()) return;
    drainOutput();
    port_.close();
}

bool RealSerialPort::isOpen() const {
    return port_.isOpen();
}

void RealSerialPort::onError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError ||
        error == QSerialPort::UnsupportedOperationError)
        return;
    ++errorReports_;
    if (!port_.isOpen() || lost_) return;
    lost_ = true;
    // Never close inside the error slot: QSerialPort is still inside its notifier.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (lost_ && port_.isOpen()) port_.close();
        },
        Qt::QueuedConnection);
    emit deviceLost();
}

void RealSerialPort::pullPending() {
    // Reads what the kernel holds into our buffer without running the event loop, so that
    // fixed delays that do not process events still see the characters that arrived.
    if (port_.isOpen() && !lost_) port_.waitForReadyRead(0);
}

void RealSerialPort::write(const QByteArray& bytes) {
    if (!port_.isOpen() || lost_)
        throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    port_.write(bytes);
    // The text goes out at once, byte for byte; a port that cannot take it within a generous
    // bound is left to the lost-device handling.
    const int baud = std::max<qint32>(port_.baudRate(), 300);
    const int boundMs = 1000 + static_cast<int>(std::ceil(bytes.size() * 11.0 * 1000.0 / baud));
    QElapsedTimer timer;
    timer.start();
    while (port_.bytesToWrite() > 0 && !lost_ && timer.elapsed() < boundMs) {
        if (!port_.waitForBytesWritten(static_cast<int>(boundMs - timer.elapsed()))) break;
    }
}

int RealSerialPort::bytesWaiting() {
    pullPending();
    return static_cast<int>(std::min<qint64>(port_.bytesAvailable(), INT32_MAX));
}

bool RealSerialPort::lineWaiting() {
    pullPending();
    return port_.canReadLine();
}

QByteArray RealSerialPort::read(int maxBytes) {
    if (maxBytes <= 0) return {};
    if (port_.bytesAvailable() < maxBytes) pullPending();
    return port_.read(maxBytes);
}

void RealSerialPort::discardInput() {
    pullPending();
    port_.readAll();
    if (port_.isOpen() && !lost_) port_.clear(QSerialPort::Input);
}

void RealSerialPort::setInputBufferSize(int bytes) {
    inputBufferSize_ = std::max(bytes, 1);
    port_.setReadBufferSize(std::max(inputBufferSize_, 1024));
}

bool RealSerialPort::waitForInput(double seconds, int moreThan) {
    if (port_.bytesAvailable() > moreThan) return true;
    if (!port_.isOpen() || lost_) return false;
    QElapsedTimer timer;
    timer.start();
    const qint64 limit = static_cast<qint64>(std::max(0.0, seconds) * 1000.0);
    for (;;) {
        const qint64 left = limit - timer.elapsed();
        if (left <= 0) {
            pullPending();
            return port_.bytesAvailable() > moreThan;
        }
        port_.waitForReadyRead(static_cast<int>(left));
        if (port_.bytesAvailable() > moreThan) return true;
        if (lost_ || !port_.isOpen()) return false;
    }
}

// ---------------------------------------------------------------------------------------------

RoutedPort::RoutedPort(PortMaker maker, QObject* parent) : SerialPort(parent), maker_(std::move(maker)) {}

void RoutedPort::open(const PortSettings& settings) {
    if (!backend_ || backendDevice_ != settings.device) {
        if (backend_) backend_->close();
        backend_.reset();
        backendDevice_.clear();
        if (settings.device.isEmpty())
            throw PortError(PortError::Kind::Unavailable, QStringLiteral("No device for this port."));
        backend_ = maker_ ? maker_(settings.device) : nullptr;
        if (!backend_)
            throw PortError(PortError::Kind::Unavailable,
                            QStringLiteral("%1 cannot be opened.").arg(settings.device));
        backendDevice_ = settings.device;
        backend_->setInputBufferSize(inputBufferSize_);
        connect(backend_.get(), &SerialPort::readyRead, this, &SerialPort::readyRead);
        connect(backend_.get(), &SerialPort::deviceLost, this, &SerialPort::deviceLost);
    }
    backend_->open(settings);
}

void RoutedPort::close() {
    if (backend_) backend_->close();
}
bool RoutedPort::isOpen() const {
    return backend_ && backend_->isOpen();
}
bool RoutedPort::isLost() const {
    return backend_ && backend_->isLost();
}
void RoutedPort::write(const QByteArray& bytes) {
    if (!backend_) throw PortError(PortError::Kind::NotOpen, QStringLiteral("The port is not open."));
    backend_->write(bytes);
}
int RoutedPort::bytesWaiting() {
    return backend_ ? backend_->bytesWaiting() : 0;
}
bool RoutedPort::lineWaiting() {
    return backend_ && backend_->lineWaiting();
}
QByteArray RoutedPort::read(int maxBytes) {
    return backend_ ? backend_->read(maxBytes) : QByteArray();
}
void RoutedPort::discardInput() {
    if (backend_) backend_->discardInput();
}
void RoutedPort::setInputBufferSize(int bytes) {
    inputBufferSize_ = bytes;
    if (backend_) backend_->setInputBufferSize(bytes);
}
bool RoutedPort::waitForInput(double seconds, int moreThan) {
    return backend_ && backend_->waitForInput(seconds, moreThan);
}
QString RoutedPort::deviceName() const {
    return backendDevice_;
}

} // namespace cvi
