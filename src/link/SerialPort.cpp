#include "SerialPort.h"

#include <QStringList>

namespace cvi {

QString PortSettings::settingsText() const {
    return QStringLiteral("%1,%2,%3,%4").arg(baudRate).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}

bool PortSettings::parseSettingsText(const QString& text, PortSettings& out) {
    const QStringList parts = text.split(',');
    if (parts.size() != 4) return false;
    bool ok1 = false, ok2 = false, ok3 = false;
    const int baud = parts[0].trimmed().toInt(&ok1);
    const QString parity = parts[1].trimmed().toUpper();
    const int data = parts[2].trimmed().toInt(&ok2);
    const int stop = parts[3].trimmed().toInt(&ok3);
    if (!ok1 || !ok2 || !ok3 || baud <= 0 || parity.size() != 1 || !QStringLiteral("NEO").contains(parity))
        return false;
    if (data != 7 && data != 8) return false;
    if (stop != 1 && stop != 2) return false;
    out.baudRate = baud;
    out.parity = parity[0].toLatin1();
    out.dataBits = data;
    out.stopBits = stop;
    return true;
}

PortError::PortError(Kind kind, const QString& message) : std::runtime_error(message.toStdString()), kind_(kind) {}

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
