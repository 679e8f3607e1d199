#include "PageReads.h"

#include "Catalogue.h"
#include "Edits.h"
#include "PageCommands.h"

namespace cvi::pages {

namespace {
// SN opens every page; without its answer the page reads nothing more.
bool readSerial(const ReadSink& sink, const Reply& sn) {
    if (!sn.answered()) return false;
    sink(QStringLiteral("SN"), sn);
    return true;
}

void readEach(const Channel& channel, double timeout, const ReadSink& sink, const QStringList& mnemonics,
              ReadStep step = {}) {
    for (const QString& m : mnemonics)
        sink(m, readParameter(channel, m, timeout, step));
}
} // namespace

bool modelM(const Reply& version) {
    return version.holdsValue() && version.value().startsWith(QLatin1Char('M'));
}

bool readConfiguration(const Channel& channel, double timeout, const ReadSink& sink) {
    if (!readSerial(sink, readParameter(channel, QStringLiteral("SN"), timeout, ReadStep{true, false, 0.0})))
        return false;
    const Reply vr = readParameter(channel, QStringLiteral("VR"), timeout);
    sink(QStringLiteral("VR"), vr);
    const bool full = !modelM(vr);
    readEach(channel, timeout, sink, {"BL"});
    if (full)
        readEach(channel, timeout, sink, {"DD", "DP", "LL", "LH", "IM", "IC"}, ReadStep{false, true, 0.0});
    readEach(channel, timeout, sink, {"MD"});
    if (full) readEach(channel, timeout, sink, {"OP"});
    readEach(channel, timeout, sink, {"PR", "TR", "AR"});
    sink(QStringLiteral("T1"), edit::readIntegrationT1(channel, timeout));
    readEach(channel, timeout, sink, {"UN", "UF"});
    if (full) readEach(channel, timeout, sink, {"ZS", "ZV", "ZL"});
    return true;
}

bool readCalibration(const Channel& channel, double timeout, const ReadSink& sink) {
    if (!readSerial(sink, readParameter(channel, QStringLiteral("SN"), timeout, ReadStep{true, false, 0.0})))
        return false;
    sink(QStringLiteral("VR"),
         readParameter(channel, QStringLiteral("VR"), timeout, ReadStep{false, false, 0.5}));
    readEach(channel, timeout, sink, catalogue::calibrationOrder());
    return true;
}

bool readAtmo3(const Channel& channel, double timeout, const ReadSink& sink) {
    if (!readSerial(sink,
                    readAfterWakeUp(channel, QStringLiteral("SN"), QStringLiteral("*99"), false, timeout)))
        return false;
    readEach(channel, timeout, sink, {"VR"});
    readEach(channel, timeout, sink, catalogue::atmo3Order());
    return true;
}

} // namespace cvi::pages
