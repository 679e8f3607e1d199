#pragma once

#include "PortMap.h"
#include "SettingsFile.h"

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

} // namespace cvi
