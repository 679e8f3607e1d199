#include "SerialPort.h"

namespace cvi {

QString PortSettings::settingsText() const {
    return QStringLiteral("%1,%2,%3,%4").arg(baudRate).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

PortError::PortError(Kind kind, const QString& message)
    : std::runtime_error(message.toStdString()), kind_(kind) {}

int PortError::code() const {
    switch (kind_) {
    case Kind::Unavailable:
    case Kind::PermissionDenied:
        return 8010;
    case Kind::NotOpen:
    case Kind::DeviceLost:
        return 8018;
    case Kind::BadSettings:
        return 8015;
    }
    return 0;
}

} // namespace cvi
