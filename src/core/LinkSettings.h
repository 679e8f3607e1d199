#pragma once

#include <QString>

namespace cvi {

// The loop's port and line settings as one value: which COM slot, and baud rate, parity, data
// bits and stop bits. Zero (or an empty port) means "not detected yet".
struct LinkSettings {
    QString port;     // "COM 1".."COM 4"
    int baud = 0;     // 300..19200
    char parity = 0;  // 'N', 'E' or 'O'
    int dataBits = 0; // 8 with 'N', 7 with 'E' or 'O'
    int stopBits = 1;

    // The loop's usual frame: 8 data bits without parity, 7 with.
    static LinkSettings of(const QString& port, int baud, char parity) {
        return LinkSettings{port, baud, parity, dataBitsFor(parity), 1};
    }
    static int dataBitsFor(char parity) { return (parity == 'E' || parity == 'O') ? 7 : 8; }

    QString baudText() const { return baud > 0 ? QString::number(baud) : QString(); }
    QString parityText() const { return parity ? QString(QChar::fromLatin1(parity)) : QString(); }
    QString dataBitsText() const { return dataBits > 0 ? QString::number(dataBits) : QString(); }
    // "9600,N,8,1", as the instruments' documentation writes it.
    QString settingsText() const {
        return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(parityText()).arg(dataBits).arg(stopBits);
    }
    bool operator==(const LinkSettings&) const = default;
};

} // namespace cvi
