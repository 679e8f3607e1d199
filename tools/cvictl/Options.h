#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace cvi::ctl {

// The command line, checked: every value is in range once parse() has set no error.
struct Options {
    QString command;
    QStringList arguments; // the command's own words (NAME=VALUE, FILE, MNEMONIC, LINE)

    // Common options.
    QStringList com; // "N=DEVICE"
    QString port;    // --port DEVICE or --device sim
    int slot = 0;    // 1..4; 0: the one cvi.ini names, else 1
    std::optional<int> baud;
    char parity = 0; // 'N', 'E', 'O'; 0: not given
    std::optional<double> timeout;
    bool json = false;
    bool verbose = false;
    QString folder;
    bool help = false;
    bool version = false;

    // The commands' options.
    QString id;
    QString page = QStringLiteral("configuration");
    bool dryRun = false;
    bool save = false;
    std::optional<int> count;
    QString from, to;
    std::optional<int> currentBaud;
    char currentParity = 0;
    QString serial;  // journal --sn
    QDateTime since; // journal --since; invalid: from the first row
    bool csv = false;

    QString error; // why the line could not be used

    static Options parse(const QStringList& arguments);
    static bool knownCommand(const QString& command);
    // The whole tool's help, or one command's.
    static QString helpText(const QString& command = {});
};

// The baud rates of the instruments.
bool validBaud(int baud);
// A two-digit identifier of one instrument, 01 to 98.
bool validId(const QString& id);

} // namespace cvi::ctl
