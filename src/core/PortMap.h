#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <array>

namespace cvi {

// "COM 1".."COM 4" are slots; each maps to a device. The environment (CVI_COM1..CVI_COM4) and
// the command line (--com N=DEVICE) override the platform's usual names. The value "sim"
// selects the built-in simulated loop.
class PortMap {
public:
    static constexpr int SlotCount = 4;
    static inline const QString Simulated = QStringLiteral("sim");

    PortMap(); // platform defaults
    static PortMap fromEnvironment(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());

    QString device(int slot) const; // empty for a slot outside 1..4
    void setDevice(int slot, const QString& device);
    void mapAllTo(const QString& device);
    bool anySimulated() const;

    // "--com 2=/dev/ttyUSB0" or "2=/dev/ttyUSB0"; returns false (and changes nothing) if malformed.
    bool applyOverride(const QString& mapping);

    // The slot number of a port name such as "COM 3": the integer value of the text from its
    // 4th character on. 0 when there is none.
    static int slotOf(const QString& portName);
    static QString defaultDevice(int slot);

private:
    std::array<QString, SlotCount> devices_;
};

} // namespace cvi
