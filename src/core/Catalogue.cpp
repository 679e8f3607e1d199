#include "Catalogue.h"

#include <QHash>

namespace cvi::catalogue {

namespace {

using S = QList<Shown>;

// A read-only parameter of the Configuration page.
Parameter readOnly(const char* mnemonic, const char* box, const char* caption) {
    Parameter p;
    p.mnemonic = QString::fromLatin1(mnemonic);
    p.box = QString::fromLatin1(box);
    p.caption = QString::fromLatin1(caption);
    return p;
}

// A coded parameter of the Configuration page, changed through its option dialog.
Parameter coded(const char* mnemonic, const char* box, const char* caption, const char* dialog, S shown,
                const char* success) {
    Parameter p = readOnly(mnemonic, box, caption);
    p.edit = Edit::Dialog;
    p.editBoxes = {p.box};
    p.dialog = QString::fromLatin1(dialog);
    p.shown = std::move(shown);
    p.check = Check::Option;
    p.success = QString::fromLatin1(success);
    return p;
}

// A parameter of the Configuration page edited through a prompt.
Parameter prompted(const char* mnemonic, const char* box, const char* caption, QStringList pieces,
                   const char* title, const char* success) {
    Parameter p = readOnly(mnemonic, box, caption);
    p.edit = Edit::Prompt;
    p.editBoxes = {p.box};
    p.promptPieces = std::move(pieces);
    p.promptTitle = QString::fromLatin1(title);
    p.check = Check::NonEmpty;
    p.success = QString::fromLatin1(success);
    return p;
}

// A calibration or meteorological coefficient: the prompt, its title and the success message
// carry the coefficient's own mnemonic.
Parameter coefficient(Page page, const char* mnemonic, const char* waitText, const char* readings) {
    const QString m = QString::fromLatin1(mnemonic);
    Parameter p;
    p.mnemonic = m;
    p.page = page;
    p.box = QStringLiteral("lbl") + m;
    p.edit = Edit::Prompt;
    p.editBoxes = {p.box};
    if (page == Page::Atmo3)
        p.promptPieces = {
            QStringLiteral("Enter the %1 Calibration Coefficient.  Caution! Changing this value may "
                           "cause incorrect readings.")
                .arg(m)};
    else
        p.promptPieces = {
            QStringLiteral("Enter the %1 Calibration Coefficient. Caution! Changing this value may "
                           "cause incorrect %2 readings.")
                .arg(m, QString::fromLatin1(readings))};
    p.promptTitle = QStringLiteral("%1 Calibration Coefficient").arg(m);
    p.check = Check::NonEmpty;
    p.waitText = QString::fromLatin1(waitText);
    p.success = QStringLiteral("%1 coefficient has been changed.").arg(m);
    return p;
}

const char* const Dots3 = "Please wait ...";
const char* const Dots3Tight = "Please wait...";
const char* const Dots4 = "Please wait ....";
const char* const Bang = "Please wait !";

const S UnitsRead = {{"1", "psi"},           {"2", "mbar or hPa"}, {"3", "bar"},
                     {"4", "kPa"},           {"5", "MPa"},         {"6", "in Hg"},
                     {"7", "mm Hg or torr"}, {"8", "m H20"},       {"0", "User defined"}};
const S UnitsWritten = {{"1", "psi"},           {"2", "mbar or hPa"}, {"3", "bar"},
                        {"4", "kPa"},           {"5", "MPa"},         {"6", "in Hg"},
                        {"7", "mm Hg or torr"}, {"8", "m H2O"},       {"0", "User Defined"}};

QList<Parameter> build() {
    QList<Parameter> t;

    // ---- the Configuration page ----
    t << readOnly("SN", "lblserialNum", "Serial Number (SN)");
    t << readOnly("VR", "lblSoftwareVersion", "Software Version (VR)");
    t << readOnly("BR", "lblBaudRate", "Baud Rate (BR)");
    t << readOnly("PT", "lblParity", "Parity (PT)");
    {
        Parameter p = coded("BL", "lblBL", "Baud Lock (BL)", "frmBaudLock", {{"0", "Unlocked"}},
                            "Baud Lock has been changed !");
        p.shownOtherwise = QStringLiteral("Locked");
        p.shownAfterWrite = {{"0", "Unlocked"}, {"1", "Locked"}};
        t << p;
    }
    {
        Parameter p =
            coded("DD", "lblDD", "Distance (DD)", "frmDD", {{"0", "Short"}}, "DD value has been changed!...");
        p.shownOtherwise = QStringLiteral("Long");
        p.shownAfterWrite = {{"0", "Short"}, {"1", "Long"}};
        t << p;
    }
    t << coded("DP", "lblDP", "Decimals (DP)", "frmDP", {}, "DP value has been changed!...");
    {
        Parameter p = prompted(
            "LL", "lblLL", "Limit Low (LL)",
            {"Enter the lower limit scaling value for the 16-bit output in the current pressure units.  ",
             "If the pressure units are changed, LL must be re-entered in the new units.  ",
             "LL defines the lower pressure limit to be set to the binary output of 0."},
            "16-Bit Lower Limit Parameter", "Lower limit value has been changed.");
        p.cancelMessage = QStringLiteral("Canceled !");
        p.showsAnswer = true;
        t << p;
    }
    {
        Parameter p = prompted(
            "LH", "lblLH", "Limit High (LH)",
            {"Enter the upper limit scaling value for the 16-bit output in the current pressure units.  ",
             "If the pressure units are changed, LH must be re-entered in the new pressure units.  ",
             "LH defines the upper pressure limit to be set to binary output 65535."},
            "16-Bit Upper Limit Parameter", "Upper limit has been changed.");
        p.defaultIsCurrent = false;
        p.cancelMessage = QStringLiteral("Canceled!");
        p.replyWait = 0.2;
        p.showsAnswer = true;
        p.echoLine = true;
        t << p;
    }
    {
        Parameter p = coded("IM", "lblIM", "Int. Mode (IM)", "frmIM",
                            {{"0", "Off"}, {"1", "On"}, {"2", "On"}}, "IM value has been changed!");
        p.unknownKeepsBox = true;
        p.shownAfterWrite = {{"0", "Off"}, {"1", "On"}, {"2", "Paralel On"}};
        t << p;
    }
    t << coded("IC", "lblIC", "Inhibit Cont. (IC)", "frmIC",
               {{"0", "Ignore line"}, {"1", "+5V enable"}, {"2", "Ground enable"}},
               "IC value has been changed!...");
    {
        Parameter p = coded("MD", "lblMD", "", "frmMD", {}, "");
        p.editBoxes = {QStringLiteral("lblDisplay"), QStringLiteral("lblRS232")};
        t << p;
    }
    {
        Parameter p =
            prompted("OP", "lblOverpressure", "Limit (OP)",
                     {"Enter the overpressure warning limit.  For instruments supporting this feature, ",
                      "an overpressure warning is triggered when a pressure reading exceeds the OP value.",
                      " Model 410/420: Enter new value in psi."},
                     "Overpressure Warning Limit", "Overpressure limit has been changed.");
        p.bareCommandShown = true;
        t << p;
    }
    {
        Parameter p = prompted(
            "PR", "lblPR", "Pressure (PR)",
            {"Enter the PR value(1 to 16383). PR determines the pressure resolution and sampling speed.  ",
             "The larger the PR value, the higher the resolution and the slower the sample rate.  ",
             "Changing PR automatically sets TR to a value 4 times PR, or TR can be changed individually by "
             "clicking the TR box."},
            "Pressure Resolution Parameter", "Pressure resolution has been changed.");
        p.check = Check::Resolution;
        t << p;
    }
    t << prompted("TR", "lblTR", "Temperature (TR)",
                  {"Enter the TR value (1 to 65535).  TR is normally set to 4 times PR.  TR determines the "
                   "temperature integration time and affects the sample rate of the instrument."},
                  "Temperature Resolution Parameter", "Temperature resolution has been changed.");
    t << coded("AR", "lblAR", "Analog (AR)", "frmAR", {{"0", "Low"}, {"1", "High"}},
               "AR value has been changed!...");
    {
        Parameter p =
            coded("UN", "lblUnit", "Unit (UN)", "frmUnits", UnitsRead, "UN value has been changed!...");
        p.shownAfterWrite = UnitsWritten;
        t << p;
    }
    {
        Parameter p =
            prompted("UF", "lblUF", "Factor (UF)",
                     {"Enter the UF parameter. UF is pressure conversion factor used when the pressure "
                      "units are set to 'user defined'.  Pressure output =psi*UF."},
                     "User Factor Parameter", "Conversion factor has been changed.");
        p.defaultIsCurrent = false;
        p.commandShownLate = true;
        p.quietOnSilence = true;
        t << p;
    }
    t << coded("ZS", "lblZS", "Zero Set (ZS)", "frmZS", {{"0", "Off"}, {"1", "Requested"}, {"2", "On"}}, "");
    t << prompted("ZV", "lblZV", "Offset (ZV)",
                  {"Enter the new ZV value.  ZV is subtracted from subsequent pressure readings when tare is "
                   "activated.  ZV is stored in RAM and it is lost if power is turned off.",
                   " Model 410/420: Set ZV in psi."},
                  "Zero Value Parameter", "Zero value has been changed");
    t << coded("ZL", "lblZL", "Lock (ZL)", "frmZL", {{"0", "Unlocked"}, {"1", "Locked"}},
               "ZL value has been changed!...");

    // ---- the Calibration page, in reading order ----
    {
        Parameter p = prompted("PA", "lblPA", "Adder (PA)",
                               {"Enter the new PA value in the current pressure units defined by UN.  The PA "
                                "is subsequently added to the measurement. ",
                                "Changing this value may cause incorrect pressure readings."},
                               "Pressure Adder", "PA coefficient has been changed.");
        p.page = Page::Calibration;
        p.waitText = QString::fromLatin1(Dots4);
        p.secondWakeUp = true;
        t << p;
    }
    {
        Parameter p = prompted("PM", "lblPM", "Multiplier (PM)",
                               {"Enter the new PM value in the current pressure units defined by UN.  The "
                                "measurement is multiplied by PM.  Changing this value may cause incorrect "
                                "pressure readings."},
                               "Pressure Multiplier", "PM coefficient has been changed.");
        p.page = Page::Calibration;
        p.waitText = QString::fromLatin1(Dots3);
        t << p;
    }
    {
        Parameter p;
        p.mnemonic = QStringLiteral("TC");
        p.page = Page::Calibration;
        p.box = QStringLiteral("lblTC");
        p.caption = QStringLiteral("Time Base Correction Factor(TC)");
        t << p;
    }
    const Page K = Page::Calibration;
    t << coefficient(K, "C1", Dots3, "pressure") << coefficient(K, "C2", Dots3, "pressure")
      << coefficient(K, "C3", Dots3, "pressure") << coefficient(K, "D1", Dots3Tight, "pressure")
      << coefficient(K, "D2", Dots3, "pressure") << coefficient(K, "T1", Bang, "pressure")
      << coefficient(K, "T2", Dots3, "pressure") << coefficient(K, "T3", Dots3, "pressure")
      << coefficient(K, "T4", Dots3Tight, "pressure") << coefficient(K, "T5", Dots3Tight, "pressure")
      << coefficient(K, "U0", Dots3, "pressure") << coefficient(K, "Y1", Dots3, "temperature")
      << coefficient(K, "Y2", Dots3, "temperature") << coefficient(K, "Y3", Dots3Tight, "temperature");

    // ---- the Atmo3 page, in reading order ----
    const Page A = Page::Atmo3;
    t << coefficient(A, "E1", Dots3, "") << coefficient(A, "F1", Dots3, "")
      << coefficient(A, "G1", Dots3, "");
    {
        Parameter h1 = coefficient(A, "H1", Dots3, "");
        h1.check = Check::Humidity;
        t << h1;
    }
    t << coefficient(A, "K1", "", "") << coefficient(A, "Z1", Dots3Tight, "")
      << coefficient(A, "M1", Dots3Tight, "") << coefficient(A, "E2", Dots3Tight, "")
      << coefficient(A, "F2", Dots3, "") << coefficient(A, "G2", Dots3, "") << coefficient(A, "H2", Dots3, "")
      << coefficient(A, "K2", Dots3, "") << coefficient(A, "Z2", Dots3, "")
      << coefficient(A, "M2", Dots3, "");
    return t;
}

struct Table {
    QList<Parameter> rows = build();
    QHash<QString, int> byMnemonic;
    QHash<QString, int> byBox;
    Table() {
        for (int i = 0; i < rows.size(); ++i) {
            byMnemonic.insert(rows[i].mnemonic, i);
            byBox.insert(rows[i].box, i);
            for (const QString& b : rows[i].editBoxes)
                byBox.insert(b, i);
        }
    }
};

const Table& table() {
    static const Table t;
    return t;
}

std::optional<QString> lookup(const QList<Shown>& list, const QString& value) {
    for (const Shown& s : list)
        if (s.code == value) return s.text;
    return std::nullopt;
}

} // namespace

std::optional<QString> Parameter::show(const QString& value) const {
    if (shown.isEmpty()) return value;
    if (auto text = lookup(shown, value)) return text;
    if (!shownOtherwise.isNull()) return shownOtherwise;
    return std::nullopt;
}

std::optional<QString> Parameter::showWritten(const QString& code) const {
    if (auto text = lookup(shownAfterWrite, code)) return text;
    return show(code);
}

const Parameter* find(const QString& mnemonic) {
    const auto it = table().byMnemonic.constFind(mnemonic);
    return it == table().byMnemonic.cend() ? nullptr : &table().rows[*it];
}

const Parameter* forBox(const QString& boxName) {
    const auto it = table().byBox.constFind(boxName);
    return it == table().byBox.cend() ? nullptr : &table().rows[*it];
}

const QList<Parameter>& all() {
    return table().rows;
}

QList<const Parameter*> onPage(Page page) {
    QList<const Parameter*> out;
    for (const Parameter& p : table().rows)
        if (p.page == page) out << &p;
    return out;
}

const QStringList& calibrationOrder() {
    static const QStringList order = {"PA", "PM", "TC", "C1", "C2", "C3", "D1", "D2", "T1",
                                      "T2", "T3", "T4", "T5", "U0", "Y1", "Y2", "Y3"};
    return order;
}

const QStringList& atmo3Order() {
    static const QStringList order = {"E1", "F1", "G1", "H1", "K1", "Z1", "M1",
                                      "E2", "F2", "G2", "H2", "K2", "Z2", "M2"};
    return order;
}

} // namespace cvi::catalogue
