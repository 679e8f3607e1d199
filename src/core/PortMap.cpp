#include "PortMap.h"

namespace cvi {

PortMap::PortMap() {
    for (int slot = 1; slot <= SlotCount; ++slot)
        devices_[slot - 1] = defaultDevice(slot);
}

QString PortMap::defaultDevice(int slot) {
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(slot);
#else
    return QStringLiteral("/dev/ttyS%1").arg(slot - 1);
#endif
}

PortMap PortMap::fromEnvironment(const QProcessEnvironment& env) {
    PortMap map;
    for (int slot = 1; slot <= SlotCount; ++slot) {
        const QString value = env.value(QStringLiteral("CVI_COM%1").arg(slot)).trimmed();
        if (!value.isEmpty()) map.setDevice(slot, value);
    }
    return map;
}

QString PortMap::device(int slot) const {
    if (slot < 1 || slot > SlotCount) return {};
    return devices_[slot - 1];
}

void PortMap::setDevice(int slot, const QString& device) {
    if (slot < 1 || slot > SlotCount) return;
    devices_[slot - 1] = device;
}

void PortMap::mapAllTo(const QString& device) {
    for (auto& d : devices_)
        d = device;
}

bool PortMap::anySimulated() const {
    for (const auto& d : devices_)
        if (d == Simulated) return true;
    return false;
}

bool PortMap::applyOverride(const QString& mapping) {
    const int eq = mapping.indexOf('=');
    if (eq <= 0) return false;
    bool ok = false;
    const int slot = mapping.left(eq).trimmed().toInt(&ok);
    const QString device = mapping.mid(eq + 1).trimmed();
    if (!ok || slot < 1 || slot > SlotCount || device.isEmpty()) return false;
    setDevice(slot, device);
    return true;
}

int PortMap::slotOf(const QString& portName) {
    // Val() of the text from the 4th character: leading blanks skipped, digits read until the
    // first character that is not one.
    const QString rest = portName.mid(3);
    int i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    int value = 0;
    bool any = false;
    while (i < rest.size() && rest[i].isDigit() && value < 1000) {
        value = value * 10 + rest[i].digitValue();
        any = true;
        ++i;
    }
    return any ? value : 0;
}

} // namespace cvi
