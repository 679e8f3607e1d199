#pragma once

#include <QString>

namespace cvi {

// How an instrument answers a sampling command: one reply (single, and the buffer dumps DB and DS),
// nothing until a dump (hold), or one reply after another until told to stop (continuous).
enum class SampleKind { Single, Hold, Continuous, Unknown };

SampleKind sampleKind(const QString& mnemonic);

} // namespace cvi
