#pragma once

#include "Instrument.h"
#include "LoopConfig.h"
#include "VirtualClock.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <memory>

namespace cvi::sim {

// Every byte the program wrote and every byte the loop delivered to it, with times.
struct WireEvent {
    enum class Dir { FromHost, ToHost };
    double time;
    Dir dir;
    QByteArray bytes;
};

class WireLog {
public:
    void add(double time, WireEvent::Dir dir, const QByteArray& bytes);
    const QList<WireEvent>& events() const { return events_; }
    // The program's writes, one entry per write call.
    QList<WireEvent> writes() const;
    QByteArray written() const;
    QByteArray received() const;
    // Lines the program wrote (split after LF); a write without a line end (a lone "*") is its
    // own entry.
    QStringList writtenTexts() const;
    // Time of the first write whose bytes equal `bytes`, from `from` on; -1 if none.
    double timeOfWrite(const QByteArray& bytes, double from = -1.0) const;
    void clear() { events_.clear(); }

private:
    QList<WireEvent> events_;
};

// The computer's side of the line: baud rate, parity and data bits of the listener.
struct HostFrame {
    int baud = 9600;
    char parity = 'N';
    int dataBits = 8;
};

// A serial loop of instruments. The computer's transmit line feeds the first instrument, each
// instrument passes on what it does not take, and the last one feeds the computer's receive line.
// Characters travel at 10 bits each at the line's baud rate; a listener at another baud rate hears
// noise; an 8-bit listener on a 7-bit loop sees each character's parity bit in bit 7.
class Loop : public QObject {
    Q_OBJECT
public:
    Loop(Scheduler& scheduler, LoopConfig config, QObject* parent = nullptr);
    ~Loop() override;

    Scheduler& scheduler() { return scheduler_; }
    const LoopConfig& config() const { return config_; }
    LoopConfig& config() { return config_; }
    WireLog& wire() { return wire_; }

    int size() const { return static_cast<int>(instruments_.size()); }
    Instrument& at(int index) { return *instruments_[index]; }
    Instrument* instrument(const QString& id);

    // ---- the computer's side ----
    // `owner` identifies the port object holding the line; a second holder is refused.
    bool attach(const void* owner, const HostFrame& frame, std::function<void(const QByteArray&)> deliver);
    void detach(const void* owner);
    bool attached() const { return owner_ != nullptr; }
    const HostFrame& hostFrame() const { return host_; }
    void setHostFrame(const HostFrame& frame) { host_ = frame; }
    void hostWrite(const QByteArray& bytes);
    // Characters written by the host and not yet on the line, plus those on their way back.
    bool lineBusy() const { return !tx_.empty() || !rx_.empty(); }

    // The device that carries the line disappears (the adapter is unplugged) or comes back.
    void loseDevice();
    void restoreDevice() {
        lost_ = false;
        writes_ = 0;
    }
    bool deviceLost() const { return lost_; }
    std::function<void()> onDeviceLost;

    // Every instrument changes to this baud rate at once (a loop set up elsewhere).
    void setInstrumentsBaud(int baud);

    // ---- used by the instruments ----
    double charTime(int baud) const { return baud > 0 ? 10.0 / baud : 0.0; }
    double hop(int index) const;
    // Characters leave instrument `from` (an index; -1 for the host) towards the next one.
    void carry(int from, const QByteArray& images, double t);
    // Characters leave instrument `from` later, at time t.
    void carryLater(int from, const QByteArray& images, double t);
    bool isLast(int index) const { return index == size() - 1; }
    // The line into the computer is backed up: instruments hold their own readings back.
    bool backlogged() const { return rx_.size() > 512; }

    // Noise a listener at the wrong baud rate makes of a character.
    unsigned char noise(unsigned char image);

    static unsigned char encode(unsigned char c, char parity, int dataBits);
    static unsigned char decode(unsigned char image, int dataBits);

signals:
    void instrumentsChanged();

private:
    struct Pending {
        unsigned char image;
        int senderBaud;
        double ready;
    };
    void arrive(int index, unsigned char image, int senderBaud, double t);
    void pumpTx();
    void pumpRx();

    Scheduler& scheduler_;
    LoopConfig config_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    WireLog wire_;
    HostFrame host_;
    const void* owner_ = nullptr;
    std::function<void(const QByteArray&)> deliver_;
    bool lost_ = false;
    int writes_ = 0; // the program's writes since the device was last restored

    std::deque<Pending> tx_; // from the computer towards the first instrument
    double txFree_ = 0.0;
    bool txArmed_ = false;
    std::deque<Pending> rx_; // from the last instrument towards the computer
    double rxFree_ = 0.0;
    bool rxArmed_ = false;
    std::uint32_t noiseState_ = 0x2545F491u;
};

} // namespace cvi::sim
