#pragma once

#include "Transactions.h"

#include <QString>

#include <functional>

namespace cvi::pages {

// The Start routines of the parameter pages as sequences of reads: each reply goes to the sink,
// with its mnemonic, as soon as it has come, so that a page can show it before the next read.
// Every read opens and closes the channel's port. Each returns false when the serial number got no
// answer: nothing after it is read then.
using ReadSink = std::function<void(const QString& mnemonic, const Reply& reply)>;

// The Configuration page: SN (after a wake-up), VR, BL; DD, DP, LL, LH, IM and IC (each after one
// pass of the interface) unless the version begins with "M"; MD; OP unless "M"; PR, TR, AR; T1 for
// the integration time; UN, UF; ZS, ZV and ZL unless "M".
bool readConfiguration(const Channel& channel, double timeout, const ReadSink& sink);

// The Calibration page: SN (after a wake-up), VR (up to 0.5 s for its first character), then the
// coefficients in the calibration order.
bool readCalibration(const Channel& channel, double timeout, const ReadSink& sink);

// The Atmo3 page: SN after the broadcast wake-up "*99", VR, then the coefficients in the Atmo3 order.
bool readAtmo3(const Channel& channel, double timeout, const ReadSink& sink);

// Whether a VR reply names an instrument without 16-bit output, display, overpressure and taring.
bool modelM(const Reply& version);

} // namespace cvi::pages
