#pragma once

// A serial port for the reader target: one object serves every input. Its script is a run of
// bytes arriving one after another from a start time at a fixed spacing, and perhaps the moment
// the device vanishes. Only the next event is ever scheduled on the simulated clock, so the
// runtime's waits stop where a byte arrives; a new script cancels it. Nothing is allocated per
// byte.
#include "SerialPort.h"
#include "VirtualClock.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The harness itself needs no coverage feedback: only the code under test steers the fuzzer.
#if defined(__clang__)
#define CVI_FUZZ_HARNESS __attribute__((no_sanitize("coverage")))
#else
#define CVI_FUZZ_HARNESS
#endif

namespace cvi::fuzz {

class FuzzPort : public SerialPort {
public:
    CVI_FUZZ_HARNESS explicit FuzzPort(sim::VirtualClock& clock) : clock_(clock) {}
    CVI_FUZZ_HARNESS ~FuzzPort() override { disarm(); }

    // The next input: `bytes` from time `start`, `spacing` seconds apart (0: all at once); the
    // device vanishes at `lostAt` (infinity: never). The port starts closed with nothing waiting.
    CVI_FUZZ_HARNESS void script(const QByteArray& bytes, double start, double spacing, double lostAt) {
        disarm();
        bytes_ = bytes;
        start_ = start;
        spacing_ = spacing;
        lostAt_ = lostAt;
        lossPending_ = !std::isinf(lostAt);
        next_ = 0;
        seen_ = -std::numeric_limits<double>::infinity();
        buffer_.clear();
        head_ = 0;
        open_ = lost_ = false;
        arm();
    }

    CVI_FUZZ_HARNESS void open(const PortSettings& settings) override {
        deliver();
        device_ = settings.device;
        open_ = true;
        lost_ = false;
    }
    CVI_FUZZ_HARNESS void close() override {
        deliver();
        open_ = false;
    }
    bool isOpen() const override { return open_; }
    bool isLost() const override { return lost_; }
    CVI_FUZZ_HARNESS void write(const QByteArray&) override {
        if (!open_) throw PortError(PortError::Kind::NotOpen, QStringLiteral("not open"));
    }
    CVI_FUZZ_HARNESS int bytesWaiting() override {
        deliver();
        return static_cast<int>(buffer_.size() - head_);
    }
    CVI_FUZZ_HARNESS QByteArray read(int maxBytes) override {
        deliver();
        const qsizetype n = std::min<qsizetype>(maxBytes, buffer_.size() - head_);
        const QByteArray out = buffer_.mid(head_, n);
        head_ += n;
        return out;
    }
    CVI_FUZZ_HARNESS void discardInput() override {
        deliver();
        buffer_.clear();
        head_ = 0;
    }
    void setInputBufferSize(int) override {}
    CVI_FUZZ_HARNESS bool waitForInput(double seconds, int moreThan = 0) override {
        const double deadline = clock_.now() + seconds;
        while (bytesWaiting() <= moreThan) {
            if (!open_ || lost_) return false;
            const auto due = clock_.nextDue();
            if (due && *due <= deadline) {
                clock_.advanceTo(*due);
            } else {
                clock_.advanceTo(deadline);
                break;
            }
        }
        return bytesWaiting() > moreThan;
    }
    QString deviceName() const override { return device_; }

private:
    double arrival(qsizetype i) const { return start_ + static_cast<double>(i) * spacing_; }

    // Everything due by now: bytes into the buffer (lost while the port is closed), the device
    // gone.
    CVI_FUZZ_HARNESS void deliver() {
        const double now = clock_.now();
        // Called on every look at the port: nothing new arrives while the clock stands still.
        if (now == seen_ && open_ == seenOpen_) return;
        seen_ = now;
        seenOpen_ = open_;
        if (lossPending_ && now >= lostAt_) {
            lossPending_ = false;
            if (open_) lost_ = true, open_ = false;
        }
        // The count of bytes due, from the spacing, then set exact against arrival().
        qsizetype end = bytes_.size();
        if (end > 0 && spacing_ > 0 && now < arrival(end - 1))
            end = std::clamp<qsizetype>(static_cast<qsizetype>((now - start_) / spacing_), next_, end);
        while (end < bytes_.size() && arrival(end) <= now)
            ++end;
        while (end > next_ && arrival(end - 1) > now)
            --end;
        if (open_ && end > next_) buffer_.append(bytes_.constData() + next_, end - next_);
        next_ = end;
    }

    CVI_FUZZ_HARNESS void arm() {
        double t = next_ < bytes_.size() ? arrival(next_) : std::numeric_limits<double>::infinity();
        if (lossPending_ && lostAt_ < t) t = lostAt_;
        if (std::isinf(t)) return;
        armed_ = clock_.at(t, [this] {
            armed_ = 0;
            deliver();
            arm();
        });
    }
    CVI_FUZZ_HARNESS void disarm() {
        if (armed_) clock_.cancel(armed_);
        armed_ = 0;
    }

    sim::VirtualClock& clock_;
    QByteArray bytes_;
    double start_ = 0.0, spacing_ = 0.0, lostAt_ = 0.0;
    qsizetype next_ = 0; // the first byte not yet arrived
    QByteArray buffer_;
    qsizetype head_ = 0; // the first byte of buffer_ not yet read
    bool open_ = false, lost_ = false, lossPending_ = false;
    double seen_ = 0.0;     // the clock when deliver() last looked
    bool seenOpen_ = false; // and whether the port was open then
    QString device_;
    std::uint64_t armed_ = 0;
};

} // namespace cvi::fuzz
