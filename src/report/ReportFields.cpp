#include "ReportFields.h"

#include "AppState.h"

namespace cvi::report {

namespace {
QList<Field> build() {
    QList<Field> out = {
        {"Customer", {}},      {"Model", {}},       {"Pressure Range", {}}, {"SN", {}},
        {"BR", "lblBaudRate"}, {"PT", "lblParity"}, {"BL", "lblBL"},        {"DP", "lblDP"},
        {"DD", "lblDD"},       {"MD", "lblMD"},     {"UN", "lblUnit"},      {"UF", "lblUF"},
        {"PR", "lblPR"},       {"TR", "lblTR"},     {"AR", "lblAR"},        {"LL", "lblLL"},
        {"LH", "lblLH"},       {"IM", "lblIM"},     {"IC", "lblIC"},        {"OP", "lblOverpressure"}};
    // The rest are named after their box: lbl + field name.
    for (const char* name : {"ZS", "ZV", "ZL", "PA", "PM", "TC", "U0", "Y1", "Y2", "Y3", "C1", "C2",
                             "C3", "D1", "D2", "T1", "T2", "T3", "T4", "T5", "E1", "F1", "G1", "H1",
                             "K1", "Z1", "M1", "E2", "F2", "G2", "H2", "K2", "Z2", "M2"}) {
        const QString n = QString::fromLatin1(name);
        out.append({n, QStringLiteral("lbl") + n});
    }
    return out;
}
} // namespace

const QList<Field>& fields() {
    static const QList<Field> all = build();
    return all;
}

QStringList fieldNames() {
    QStringList names;
    for (const Field& f : fields())
        names << f.name;
    return names;
}

QStringList collect(const AppState& state, const Heading& heading) {
    QStringList values = {heading.company, heading.model, heading.pressureRange, state.CurrentSN};
    for (qsizetype i = values.size(); i < fields().size(); ++i)
        values << state.Record.box(fields()[i].box);
    for (QString& v : values)
        v = v.trimmed();
    return values;
}

} // namespace cvi::report
