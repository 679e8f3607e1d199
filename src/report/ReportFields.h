#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace cvi {

struct AppState;

namespace report {

// One field of the report record: its name in the table "report" and where its text comes from,
// a value box of the main window's pages by name (empty for the three heading texts typed into
// the Report Information dialog and for the serial number, which is CurrentSN).
struct Field {
    QString name;
    QString box;
};

// The 54 fields in the order they are filled: Customer, Model, Pressure Range, SN, then the
// Configuration, Calibration and Atmo3 values.
const QList<Field>& fields();
QStringList fieldNames();

// The three texts the operator types for the heading of the report.
struct Heading {
    QString company;
    QString model;
    QString pressureRange;
};

// The record's values in field order, each with its surrounding spaces removed: the heading, the
// serial number, and what every value box shows now ("-" for a value the instrument did not
// give, empty for a box its page has not filled).
QStringList collect(const AppState& state, const Heading& heading);

} // namespace report
} // namespace cvi
