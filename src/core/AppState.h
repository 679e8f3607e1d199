#pragma once

#include "InstrumentRecord.h"
#include "LinkSettings.h"

#include <QString>

namespace cvi {

// The state every window shares for the whole run (one object, passed by reference). Names and
// the "Yes"/"No" flag texts are those the rest of the program and the instruments' manuals use.
// Values exchanged with instruments are held as text.
struct AppState {
    // Port and line settings of the loop, detected at start-up or changed in Communication
    // Setup; one value handed to every open.
    LinkSettings Link;
    // The same settings as the texts the windows show.
    QString PortName() const { return Link.port; }           // "COM 1".."COM 4"
    QString BaudRate() const { return Link.baudText(); }     // "300".."19200", empty before detection
    QString Parity() const { return Link.parityText(); }     // "N", "E" or "O"
    QString DataBits() const { return Link.dataBitsText(); } // "8" with "N", "7" with "E" or "O"

    QString StartupFlag; // "No" while the Startup dialog runs, "Yes" after OK or Cancel
    QString IDList;      // identifiers, two characters each, no separator: "010203"
    qint16 InstrumentCount = 0;
    QString ModeList; // records of identifier + MD digit for streaming instruments

    QString AddressPrefix;      // "*" + chosen identifier + "00"
    QString SavedAddressPrefix; // kept while a live window runs

    // Seconds. Zero before the first detection, as an empty number is.
    double CommTimeout = 0;
    double MeasureTimeout = 0;
    double ReadTimeout = 0;

    QString CurrentPR, CurrentTR; // PR and TR last read or written
    int PressurePeriodFactor = 0; // 33 or 60
    int TemperatureFactor = 0;    // always 6 once computed
    QString CurrentSN, CurrentVR; // serial number and version of the chosen instrument
    QString DialogResult;         // "OK" when an option dialog changed its parameter

    // What the pages have read of the chosen instrument; emptied whenever an ID is chosen.
    InstrumentRecord Record;

    int ScreenWidthPx = 0;
    int ScreenHeightPx = 0;

    double SamplingLineCount = 0;
    qint16 ConfigLineCount = 0;
    qint16 CalLineCount = 0;
    qint16 SystemLineCount = 0;
    qint16 AnalogLineCount = 0;

    // Where cvi.ini, the report database, the report template and help live.
    QString ProgramFolder;

    // Number of identifiers held in IDList and the n-th of them (from 0).
    int idCount() const { return static_cast<int>(IDList.size() / 2); }
    QString idAt(int index) const { return IDList.mid(index * 2, 2); }
    bool idListHolds(const QString& id) const;
};

inline bool AppState::idListHolds(const QString& id) const {
    for (int i = 0; i + 1 < IDList.size(); i += 2)
        if (IDList.mid(i, 2) == id) return true;
    return false;
}

} // namespace cvi
