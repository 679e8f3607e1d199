#include "Sampling.h"

#include <QStringList>

namespace cvi {

SampleKind sampleKind(const QString& mnemonic) {
    static const QStringList single = {"P1", "P3", "Q1", "Q3", "N1", "N2",
                                       "A1", "A2", "TT", "RH", "DB", "DS"};
    static const QStringList hold = {"P5", "P6", "Q5", "Q6"};
    static const QStringList continuous = {"P2", "P4", "P7", "Q2", "Q4"};
    if (single.contains(mnemonic)) return SampleKind::Single;
    if (hold.contains(mnemonic)) return SampleKind::Hold;
    if (continuous.contains(mnemonic)) return SampleKind::Continuous;
    return SampleKind::Unknown;
}

} // namespace cvi
