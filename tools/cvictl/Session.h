#pragma once

#include "AppState.h"
#include "Cli.h"
#include "Detection.h"
#include "Link.h"
#include "Options.h"
#include "PortMap.h"
#include "Transactions.h"

#include <QJsonObject>
#include <QString>

#include <memory>

namespace cvi::ctl {

// Ends a command with an exit status and one line saying what and why.
struct Failure {
    int status;
    QString message;
};
[[noreturn]] void fail(int status, const QString& message);

// The port under every exchange of a run: passes everything on to the real or simulated port and,
// with --verbose, tells each write (">") and each received line ("<") on stderr as it went over
// the wire.
class TracingPort : public SerialPort {
    Q_OBJECT
public:
    TracingPort(std::unique_ptr<SerialPort> inner, std::function<void(const QString&)> trace);
    ~TracingPort() override;

    void open(const PortSettings& settings) override;
    void close() override;
    bool isOpen() const override { return inner_->isOpen(); }
    bool isLost() const override { return inner_->isLost(); }
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override { return inner_->bytesWaiting(); }
    QByteArray read(int maxBytes) override;
    void discardInput() override;
    void setInputBufferSize(int bytes) override { inner_->setInputBufferSize(bytes); }
    bool waitForInput(double seconds, int moreThan = 0) override {
        return inner_->waitForInput(seconds, moreThan);
    }
    QString deviceName() const override { return inner_->deviceName(); }

private:
    void flush();
    std::unique_ptr<SerialPort> inner_;
    std::function<void(const QString&)> trace_;
    QByteArray partial_;
};

// One run's loop: the port map and slot, the link (one serial object, as a window owns), the line
// settings (given or detected) and the instruments found.
class Session {
public:
    Session(Context& context, const Options& options, const Io& io);
    ~Session();

    const Options& options() const { return options_; }
    Context& context() { return context_; }
    const Io& io() const { return io_; }
    Link& link() { return *link_; }
    AppState& state() { return state_; }

    // The loop's settings and instruments: from --baud, else detected as the Startup dialog does.
    // `needIds`: with --baud, the version broadcast still goes out to learn the identifiers.
    // `progress`: the probe's progress on stderr.
    void connect(bool needIds, bool progress = false);
    bool idsKnown() const { return idsKnown_; }
    // The version broadcast's lines, when it went out.
    const QList<detection::ScanLine>& scanLines() const { return lines_; }
    // The instrument with --id, checked against the loop when the loop is known.
    Channel channel();
    Channel channelTo(const QString& id);
    // The wait for one reply: --timeout, else the communication time-out + 1 s.
    double readTimeout() const;
    // The detection's mode check: identifiers (with their MD digit) of instruments that stream.
    QStringList streaming();

    QString slotName() const; // "COM n"
    QString device() const;
    QJsonObject portJson() const;
    // Where cvi.ini lives.
    QString folder() const;

    // Progress and notes on stderr.
    void note(const QString& text) const;

private:
    Context& context_;
    const Options& options_;
    const Io& io_;
    PortMap map_;
    int slot_ = 1;
    AppState state_;
    std::unique_ptr<Link> link_;
    bool idsKnown_ = false;
    QList<detection::ScanLine> lines_;
};

} // namespace cvi::ctl
