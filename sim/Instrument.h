#pragma once

#include "LoopConfig.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <cstdint>

namespace cvi::sim {

class Loop;

// One instrument of the loop, as the computer sees it: it listens to the characters arriving on
// its input, takes the lines addressed to it (or to all, 99), answers them, and passes everything
// else on. It holds the parameter and coefficient store and turns its sensor periods into
// readings with its own coefficients.
class Instrument {
public:
    Instrument(Loop& loop, int index, const InstrumentConfig& config);

    QString id() const { return id_; }
    int index() const { return index_; }
    char parity() const { return parity_; }
    int baud() const { return baud_; }
    bool isAtmo3() const { return config_.atmo3; }
    bool isModelM() const { return params_.value(QStringLiteral("VR")).startsWith('M'); }
    Faults& faults() { return config_.faults; }
    InstrumentConfig& config() { return config_; }

    bool has(const QString& mnemonic) const { return params_.contains(mnemonic); }
    QString param(const QString& mnemonic) const { return params_.value(mnemonic); }
    void setParam(const QString& mnemonic, const QString& value);
    // Listens and sends at this baud rate from now on.
    void setBaud(int baud);
    const QMap<QString, QString>& params() const { return params_; }

    // A character (as the 8 bits between start and stop bit) reaches the instrument at time t;
    // returns what it passes on at once, as line images in its own frame.
    QByteArray feed(unsigned char image, double t);

    // Readings from the current periods and coefficients.
    double pressurePeriod(double t) const;     // microseconds
    double temperaturePeriod(double t) const;  // microseconds
    double pressurePsi(double t) const;        // from the periods with the current coefficients
    double pressureReading(double t) const;    // in the unit of UN, after PM, PA and taring
    double temperatureReading(double t) const; // in the unit of TU
    int channelCount(int channel, double t) const;
    double channelValue(int channel, double t) const;
    QString formattedPressure(double t) const;
    // Seconds one measurement takes, from PR, TR and T1.
    double sampleSeconds() const;

    bool continuous() const { return continuousMnemonic_.size() == 2; }
    bool streaming() const; // MD 2 or 3
    int linesHandled() const { return linesHandled_; }
    QStringList heldValues() const { return hold_; }

    // Encodes a character in the instrument's frame (the 8 bits on the line).
    unsigned char image(unsigned char c) const;

private:
    enum class Mode { Idle, Header, Pass, Mine, Broadcast };

    QByteArray passOn(const QByteArray& images) const;
    void lineForMe(const QByteArray& line, double t);
    QByteArray lineForAll(const QByteArray& line, double t);
    // Executes one command body for this instrument; returns the reply text (empty: none), or
    // schedules it when the answer takes time.
    QString execute(const QString& body, bool broadcast, double t, bool& deferred);
    QString parameterReply(const QString& mnemonic) const;
    QString dataReply(const QString& value) const;
    bool write(const QString& mnemonic, const QString& value, bool enabled);
    void applyLineChanges();
    void startContinuous(const QString& mnemonic, double t);
    void stopContinuous();
    void scheduleStream(double t);
    void streamTick(std::uint64_t generation);
    QString sampleValue(const QString& mnemonic, double t) const;
    void send(const QString& text, double t, bool later = false);
    QString finish(const QString& text) const;

    double coeff(const QString& mnemonic) const;
    double unitFactor(const QString& un) const;
    static double solveTemperaturePeriodOffset(double temperature, double y1, double y2, double y3);

    Loop& loop_;
    int index_;
    InstrumentConfig config_;
    QString id_;
    char parity_;
    int baud_;
    QMap<QString, QString> params_;
    // Factory coefficients that made the sensor's periods.
    QMap<QString, double> factory_;

    Mode mode_ = Mode::Idle;
    QByteArray held_; // images held while deciding
    QByteArray text_; // the same characters decoded
    int linesHandled_ = 0;

    QString continuousMnemonic_;
    std::uint64_t streamGeneration_ = 0;
    double busyUntil_ = 0.0; // a measurement in progress
    QStringList hold_;
    int pendingBaud_ = 0;
    char pendingParity_ = 0;
    std::uint32_t junkSeed_;
};

} // namespace cvi::sim
