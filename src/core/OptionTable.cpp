#include "OptionTable.h"

#include "Catalogue.h"
#include "Frames.h"

namespace cvi::options {

namespace {

// The names the page shows for a parameter's codes after a write through its dialog, and the
// success message, come from the parameter catalogue.
void takeTextsFromCatalogue(Member& m) {
    const catalogue::Parameter* row = catalogue::find(m.mnemonic);
    if (!row) return;
    m.success = row->success;
    QList<Name> names;
    for (int c = 0; c <= 8; ++c) {
        const QString code = QString::number(c);
        auto named = [&](const QList<catalogue::Shown>& list) {
            for (const auto& s : list)
                if (s.code == code) {
                    names << Name{code, s.text};
                    return true;
                }
            return false;
        };
        if (!named(row->shownAfterWrite)) named(row->shown);
    }
    m.shownAs = names;
    if (!m.selectedBy.isEmpty()) return;
    // At load the option whose name the page box shows is selected.
    for (const Name& n : names)
        for (const Choice& c : m.choices)
            if (c.code == n.code) m.selectedBy << n;
}

QList<Member> buildMembers() {
    QList<Member> all;

    Member dd;
    dd.dialog = "frmDD";
    dd.caption = "Display Distance";
    dd.valueBox = "lblDD";
    dd.mnemonic = "DD";
    dd.choices = {{"OptDD0", "Short ( DD=0 )", "0"}, {"OptDD1", "Long ( DD=1 )", "1"}};
    dd.noReply = "There is no response!...";
    dd.dashOnNoReply = true;
    dd.resultOnCancel = "Cancel";
    all << dd;

    Member ar;
    ar.dialog = "frmAR";
    ar.caption = "Analog Resolution";
    ar.valueBox = "lblAR";
    ar.mnemonic = "AR";
    ar.choices = {{"OptAR0", "0.1 deg C, 0.1% RH ( AR=0 )", "0"},
                  {"OptAR1", "0.01 deg C, 0.1% RH ( AR=1 )", "1"}};
    all << ar;

    Member dp;
    dp.dialog = "frmDP";
    dp.caption = "Decimal Places";
    dp.valueBox = "lblDP";
    dp.mnemonic = "DP";
    dp.choices << Choice{"Opt0", "0 ( DP=0 )", "0"};
    for (int n = 1; n <= 6; ++n) {
        const QString code = QString::number(n);
        dp.choices << Choice{"OptDp" + code, code + " ( DP=" + code + " )", code};
        dp.selectedBy << Name{code, code}; // a page showing 0 selects nothing
    }
    dp.noReply = "There is no response !";
    dp.dashOnNoReply = true;
    dp.resultOnOk = "OK";
    all << dp;

    Member ic;
    ic.dialog = "frmIC";
    ic.caption = "Inhibit Control";
    ic.valueBox = "lblIC";
    ic.mnemonic = "IC";
    ic.choices = {{"OptIC0", "Ignore inhibit line ( IC=0 )", "0"},
                  {"OptIC1", "Inhibit Active ( IC=1 ) +5 V to enable", "1"},
                  {"OptIC2", "Inhibit Active ( IC=2 ) Ground to enable", "2"}};
    ic.noReply = "There is no response !";
    ic.dashOnNoReply = true;
    ic.resultOnOk = "OK";
    ic.resultOnCancel = "Cancel";
    all << ic;

    Member im;
    im.dialog = "frmIM";
    im.caption = "Interface Mode";
    im.valueBox = "lblIM";
    im.mnemonic = "IM";
    im.choices = {{"OptIM0", "Binary interface off ( IM=0 )", "0"},
                  {"OptIM1", "Binary interface on ( IM=1 )", "1"},
                  {"OptIM2", "Parallel binary interface on ( IM=2 )", "2"}};
    im.noReply = "There is no response!";
    im.dashOnNoReply = true;
    im.resultOnOk = "OK";
    all << im;

    Member zl;
    zl.dialog = "frmZL";
    zl.caption = "Zero Lock";
    zl.valueBox = "lblZL";
    zl.mnemonic = "ZL";
    zl.choices = {{"OptZL1", "Zero Lock (ZL=1)", "1"}, {"OptZL0", "Zero Unlock (ZL=0)", "0"}};
    zl.noReply = "There is no response !";
    zl.resultOnOk = "OK";
    zl.resultOnCancel = "Cancel";
    all << zl;

    // The edit flow broadcasts lblCommand again when the result is "OK". This dialog has already
    // broadcast the write and set lblBL, so it leaves the result alone: the write goes out once.
    Member bl;
    bl.dialog = "frmBaudLock";
    bl.caption = "Baud Lock";
    bl.valueBox = "lblBL";
    bl.mnemonic = "BL";
    bl.sequence = Sequence::BaudLock;
    bl.choices = {{"OptBL1", "Lock ( BL=1 )", "1"}, {"OptBL0", "Unlock ( BL=0 )", "0"}};
    bl.waitText = "Please Wait ....";
    bl.noReply = "There is no response!...";
    bl.dashOnNoReply = true;
    all << bl;

    Member zs;
    zs.dialog = "frmZS";
    zs.caption = "Zero Set";
    zs.valueBox = "lblZS";
    zs.mnemonic = "ZS";
    zs.sequence = Sequence::ZeroSet;
    zs.choices = {{"OptZS0", "Taring off ( ZS=0 )  ", "0"}, {"OptZS1", "Taring requested ( ZS=1 )", "1"}};
    zs.waitText = "Please Wait!...";
    zs.noReply = "There is no response !";
    zs.resultOnOk = "OK";
    zs.resultOnCancel = "Cancel";
    all << zs;

    Member un;
    un.dialog = "frmUnits";
    un.caption = "Units";
    un.valueBox = "lblUnit";
    un.mnemonic = "UN";
    un.sequence = Sequence::Units;
    un.choices = {{"OptUN1", "psi ( UN= 1 )", "1"},          {"OptUN2", "mbar or hPa ( UN=2 )", "2"},
                  {"OptUN3", "bar ( UN=3 )", "3"},           {"OptUN4", "kPa ( UN=4 )", "4"},
                  {"OptUN5", "MPa ( UN=5 )", "5"},           {"OptUN6", "in Hg ( UN=6 )", "6"},
                  {"OptUN7", "mm Hg or torr ( UN=7 )", "7"}, {"OptUN8", "m H2O ( UN=8 )", "8"},
                  {"OptUN0", "User Defined ( UN = 0 )", "0"}};
    // The dialog's own names: "m H2O" and "User Defined" differ from what a Start read shows
    // ("m H20", "User defined"), so after a Start read of 8 or 0 nothing is selected.
    un.resultOnOk = "OK";
    all << un;

    for (Member& m : all)
        takeTextsFromCatalogue(m);
    return all;
}

} // namespace

const QList<Member>& members() {
    static const QList<Member> all = buildMembers();
    return all;
}

const Member* memberForBox(const QString& valueBox) {
    for (const Member& m : members())
        if (m.valueBox == valueBox) return &m;
    return nullptr;
}

QString baudLockMismatch() {
    return QStringLiteral("Could not change BL for some instruments!");
}
QString warningTitle() {
    return QStringLiteral("Warning");
}

QList<Switch> offsetSwitches(bool on) {
    return {{"lblZV", on}, {"lblZVName", on}};
}
QString zeroSetNoReply() {
    return QStringLiteral("There is no response !");
}

QList<Switch> userFactorSwitches(const QString& code) {
    if (code == QStringLiteral("0")) return {{"lblUFHeading", true}, {"lblUF", true}, {"lblUFUnit", true}};
    if (code == QStringLiteral("1")) return {{"lblUFHeading", false}};
    if (code == QStringLiteral("8")) return {{"lblUFHeading", false}, {"lblUF", false}};
    return {};
}

const QList<Reread>& unitRereads() {
    static const QList<Reread> all = {{"PA", "lblPA", "Can't read PA value !", false},
                                      {"OP", "lblOverpressure", "Can't read OP value !", true},
                                      {"ZV", "lblZV", "Can't read ZV value !", true}};
    return all;
}

QString limitsCaution() {
    return QStringLiteral("For 16-bit output, re-enter LL and LH parameters in selected pressure units.");
}
QString cautionTitle() {
    return QStringLiteral("Caution!");
}

QString backgroundModeCaption() {
    return QStringLiteral("Background Mode");
}
QString backgroundModeWarning() {
    return QStringLiteral("Turning the Continuous RS-232 Mode to ON may cause CVI to become unpredictable !");
}
QString modeOn() {
    return QStringLiteral("On");
}
QString modeOff() {
    return QStringLiteral("Off");
}

BaudLockAnswers baudLockAnswers(const QStringList& lines, const QString& code) {
    BaudLockAnswers answers;
    for (const QString& line : lines) {
        if (!ParameterValue(line).isEmpty()) ++answers.confirmed;
        // The lock digit follows "*00nnBL=".
        if (line.mid(8, 1) != code) answers.mismatch = true;
    }
    return answers;
}

QStringList unitRereadsFor(bool modelM) {
    QStringList mnemonics;
    for (const Reread& reread : unitRereads())
        if (!(reread.fullModelOnly && modelM)) mnemonics << reread.mnemonic;
    return mnemonics;
}

} // namespace cvi::options
