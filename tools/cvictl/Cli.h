#pragma once

#include "Runtime.h"
#include "SerialPort.h"

#include <QDateTime>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

namespace cvi::ctl {

// What a run of cvictl ends with.
enum Status {
    Done = 0,       // every operation done
    Refused = 1,    // an instrument refused, or a check failed
    Usage = 2,      // the command line or an input file could not be used
    NoResponse = 3, // the loop or the instrument did not answer
    PortFailed = 4, // the port could not be opened, or was lost
};

// Where a run's text goes: `out` for results (stdout), `err` for messages, progress and the
// --verbose trace (stderr). Each call is one or more whole lines.
struct Io {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
};

// What a run needs of the world around it; the executable fills it with the real port, the real
// clock and the process environment, the tests with a simulated loop on simulated time.
struct Context {
    Runtime& runtime;
    PortMaker makePort; // a device name ("sim" for the built-in loop) into a port
    QProcessEnvironment env;
    QString folder; // where cvi.ini lives unless --folder says otherwise
    // The time stamp of a reading.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    // Ctrl+C: watched only while a continuous reading runs.
    std::function<void(bool on)> watchInterrupt = [](bool) {};
    std::function<bool()> interrupted = [] { return false; };
};

// Runs one command line (without the program name) and returns the exit status.
int run(const QStringList& arguments, Context& context, const Io& io);

// A text with the line's control characters shown as <CR>, <LF> and <xx>.
QString visible(const QByteArray& bytes);

} // namespace cvi::ctl
