#pragma once

#include "PortMap.h"

#include <QString>
#include <QStringList>

namespace cvi {

// What the command line asks for: `cvi [--simulate] [--com N=DEVICE]... [--no-splash]`.
struct CommandLine {
    bool simulate = false;
    bool noSplash = false;
    bool help = false;
    bool version = false;
    QStringList comOverrides; // "N=DEVICE"
    QString error;            // set when the line could not be understood

    static CommandLine parse(const QStringList& arguments); // arguments without the program name
    // The port map for this run: platform defaults, then CVI_COMn, then --com, then --simulate.
    PortMap portMap(const QProcessEnvironment& env) const;
    static QString usage();
};

// The folder for cvi.ini, the report database and template: the program's own folder when it can
// be written, else the user's application-data folder (created when needed).
QString chooseProgramFolder(const QString& executableFolder);

} // namespace cvi
