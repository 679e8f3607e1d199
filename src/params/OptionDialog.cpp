#include "OptionDialog.h"

#include "Centre.h"
#include "EditFlow.h"
#include "Frames.h"
#include "Link.h"
#include "PageHost.h"
#include "Pointer.h"
#include "Transactions.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace cvi {

using options::Member;
using options::Sequence;

namespace {
const QString Dash = QStringLiteral("-");

// A box of the page holds a value when it shows something other than "-".
bool holdsValue(const QString& text) {
    return !text.isEmpty() && text != Dash;
}

void addOkCancel(QDialog& dialog, QBoxLayout& layout, QPushButton*& ok, QPushButton*& cancel) {
    ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setObjectName(QStringLiteral("CmdOK"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("Cancel"), &dialog);
    cancel->setObjectName(QStringLiteral("CmdCancel"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout.addLayout(row);
}

void fixSizeAndCentre(QDialog& dialog, const AppState& state) {
    dialog.adjustSize();
    dialog.setFixedSize(dialog.size());
    centreOnScreen(dialog, state);
}
} // namespace

// ---------------------------------------------------------------------------------------------

OptionDialog::OptionDialog(PageHost& host, const PageContext& page, const Member& member, QWidget* parent)
    : QDialog(parent), main_(host), page_(page), member_(member), comm1_(host.makeLink()) {
    setObjectName(member.dialog);
    setWindowTitle(member.caption);
    comm1_->setObjectName(QStringLiteral("Comm1"));

    auto* layout = new QVBoxLayout(this);
    auto* group = new QButtonGroup(this);
    for (const auto& choice : member.choices) {
        auto* option = new QRadioButton(choice.caption, this);
        option->setObjectName(choice.button);
        group->addButton(option);
        layout->addWidget(option);
        connect(option, &QRadioButton::toggled, this, [this, code = choice.code](bool on) {
            if (on) code_ = code;
        });
    }
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    addOkCancel(*this, *layout, ok, cancel);
    connect(ok, &QPushButton::clicked, this, &OptionDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &OptionDialog::cancelClicked);

    // The option matching what the page shows now; nothing when the page shows another text.
    const QString shown = host.state().Record.box(member.valueBox);
    for (const auto& name : member.selectedBy) {
        if (name.text != shown) continue;
        for (const auto& choice : member.choices)
            if (choice.code == name.code)
                if (auto* option = findChild<QRadioButton*>(choice.button)) option->setChecked(true);
        break;
    }
    fixSizeAndCentre(*this, host.state());
}

OptionDialog::~OptionDialog() = default;

void OptionDialog::okClicked() {
    // With no option chosen there is nothing to write: OK only closes the dialog.
    if (code_.isEmpty()) {
        reject();
        return;
    }
    confirmed_ = true;
    if (!member_.resultOnOk.isEmpty()) main_.state().DialogResult = member_.resultOnOk;
    accept();
}

void OptionDialog::cancelClicked() {
    if (!member_.resultOnCancel.isEmpty()) main_.state().DialogResult = member_.resultOnCancel;
    reject();
}

QString OptionDialog::shownAs(const QString& value) const {
    if (member_.shownAs.isEmpty()) return value;
    for (const auto& name : member_.shownAs)
        if (name.code == value) return name.text;
    return {};
}

QString OptionDialog::shown(const QString& box) const {
    return main_.state().Record.box(box);
}

void OptionDialog::show(const QString& box, const QString& text, const QString& mnemonic,
                        const QString& reply) {
    // Into the record: the box shows it on whichever page holds it (lblPA after a change of
    // unit is on the Calibration page).
    InstrumentRecord& record = main_.state().Record;
    if (!mnemonic.isEmpty()) record.set(mnemonic, reply, text);
    record.showBox(box, text);
}

void OptionDialog::setSwitches(const QList<options::Switch>& switches) {
    for (const auto& s : switches)
        if (QLabel* w = page_.boxNamed(s.box)) w->setHidden(!s.on);
}

void OptionDialog::apply() {
    if (!confirmed_) return;
    PageObserver shownOnPage(page_, main_.op());
    const Observing observing(*comm1_, &shownOnPage);
    if (!member_.waitText.isEmpty()) main_.setMiddleMessage(member_.waitText);
    main_.runtime().pump();
    hourglass();
    switch (member_.sequence) {
    case Sequence::Write:
        applyWrite();
        break;
    case Sequence::BaudLock:
        applyBaudLock();
        break;
    case Sequence::ZeroSet:
        applyZeroSet();
        break;
    case Sequence::Units:
        applyUnits();
        break;
    }
    comm1_->ClosePort();
    normalPointer();
}

bool OptionDialog::showEcho(const QString& reply) {
    // A reply too short to carry a value after "*00nnXX=" confirms nothing.
    const QString value = ParameterValue(reply);
    if (value.isEmpty()) {
        if (member_.dashOnNoReply) show(member_.valueBox, Dash, member_.mnemonic, reply);
        if (!member_.noReply.isEmpty()) main_.setMiddleMessage(member_.noReply);
        return false;
    }
    // A value the table has no name for leaves the box as it was.
    const QString text = shownAs(value);
    if (!text.isEmpty()) show(member_.valueBox, text, member_.mnemonic, reply);
    main_.setMiddleMessage(member_.success);
    return true;
}

void OptionDialog::applyWrite() {
    const Channel channel = channelOf(*comm1_, main_.state());
    showEcho(writeOption(channel, member_.mnemonic, code_, main_.state().ReadTimeout));
}

void OptionDialog::applyBaudLock() {
    const AppState& state = main_.state();
    const QStringList lines =
        writeBaudLock(channelOf(*comm1_, state), code_, state.InstrumentCount, state.ReadTimeout);
    const options::BaudLockAnswers answers = options::baudLockAnswers(lines, code_);
    if (answers.confirmed == 0) {
        show(member_.valueBox, Dash);
        main_.setMiddleMessage(member_.noReply);
        return;
    }
    if (answers.mismatch)
        main_.op().message(options::baudLockMismatch(), options::warningTitle(), Operator::Icon::Exclamation);
    show(member_.valueBox, shownAs(code_), member_.mnemonic, lines.last());
    main_.setMiddleMessage(member_.success);
}

void OptionDialog::applyZeroSet() {
    const ZeroSet result = writeZeroSet(channelOf(*comm1_, main_.state()), code_, main_.state().ReadTimeout);
    if (code_ == QStringLiteral("0")) {
        if (ParameterValue(result.writeEcho).isEmpty()) {
            main_.setMiddleMessage(member_.noReply);
            return;
        }
        show(member_.valueBox, shownAs(code_), member_.mnemonic, result.writeEcho);
        setSwitches(options::offsetSwitches(false));
        main_.setMiddleMessage(QString());
        return;
    }
    const QString state = ParameterValue(result.state);
    if (state.isEmpty()) {
        main_.setMiddleMessage(member_.noReply);
        return;
    }
    main_.setMiddleMessage(QString());
    const QString text = shownAs(state);
    if (!text.isEmpty()) show(member_.valueBox, text, member_.mnemonic, result.state);
    if (state == QStringLiteral("0")) setSwitches(options::offsetSwitches(false));
    if (state != QStringLiteral("1") && state != QStringLiteral("2")) return;

    setSwitches(options::offsetSwitches(true));
    const QString offset = ParameterValue(result.offset);
    if (offset.isEmpty()) {
        show(QStringLiteral("lblZV"), Dash, QStringLiteral("ZV"), result.offset);
        main_.setMiddleMessage(options::zeroSetNoReply());
    } else {
        show(QStringLiteral("lblZV"), offset, QStringLiteral("ZV"), result.offset);
    }
}

void OptionDialog::applyUnits() {
    // The instrument rescales the values it keeps in pressure units; they are read anew.
    const bool modelM = shown(QStringLiteral("lblSoftwareVersion")).startsWith('M');
    const UnitsChange change = writeUnits(channelOf(*comm1_, main_.state()), code_,
                                          options::unitRereadsFor(modelM), main_.state().ReadTimeout);
    // Without a confirmed write the page keeps the old unit and values.
    if (ParameterValue(change.echo).isEmpty()) return;

    main_.setMiddleMessage(member_.success);
    show(member_.valueBox, shownAs(code_), member_.mnemonic, change.echo);
    setSwitches(options::userFactorSwitches(code_));

    for (const auto& [mnemonic, answer] : change.rereads) {
        const auto& reread =
            *std::find_if(options::unitRereads().cbegin(), options::unitRereads().cend(),
                          [&m = mnemonic](const options::Reread& r) { return r.mnemonic == m; });
        const QString value = ParameterValue(answer);
        if (value.isEmpty()) {
            main_.op().message(reread.warning, options::warningTitle(), Operator::Icon::Exclamation);
            show(reread.valueBox, Dash, mnemonic, answer);
        } else {
            show(reread.valueBox, value, mnemonic, answer);
        }
    }
    // The 16-bit output limits are kept as typed; the operator has to enter them again.
    if (holdsValue(shown(QStringLiteral("lblLL"))) || holdsValue(shown(QStringLiteral("lblLH"))))
        main_.op().message(options::limitsCaution(), options::cautionTitle(), Operator::Icon::Exclamation);
}

// ---------------------------------------------------------------------------------------------

BackgroundModeDialog::BackgroundModeDialog(PageHost& host, const PageContext& page, QWidget* parent)
    : QDialog(parent), main_(host), page_(page) {
    setObjectName(QStringLiteral("frmMD"));
    setWindowTitle(options::backgroundModeCaption());

    const InstrumentRecord& record = host.state().Record;
    const QString display = record.box(QStringLiteral("lblDisplay"));
    const QString rs232 = record.box(QStringLiteral("lblRS232"));
    const QString mode = record.box(QStringLiteral("lblMD"));

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    auto addRow = [this, grid](int row, const QString& caption, const char* name) {
        grid->addWidget(new QLabel(caption, this), row, 0);
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        grid->addWidget(button, row, 1);
        return button;
    };
    display_ = addRow(0, QStringLiteral("Display"), "cmdDisplay");
    rs232_ = addRow(1, QStringLiteral("Continuous RS-232"), "cmdRS232");
    grid->addWidget(new QLabel(QStringLiteral("MD"), this), 2, 0);
    mode_ = new QLabel(this);
    mode_->setObjectName(QStringLiteral("lblMD"));
    grid->addWidget(mode_, 2, 1);
    layout->addLayout(grid);
    warning_ = new QLabel(options::backgroundModeWarning(), this);
    warning_->setObjectName(QStringLiteral("lblWarning"));
    warning_->setWordWrap(true);
    layout->addWidget(warning_);

    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;
    addOkCancel(*this, *layout, ok, cancel);
    connect(ok, &QPushButton::clicked, this, &BackgroundModeDialog::okClicked);
    connect(cancel, &QPushButton::clicked, this, &BackgroundModeDialog::cancelClicked);
    connect(display_, &QPushButton::clicked, this, [this] { toggle(display_); });
    connect(rs232_, &QPushButton::clicked, this, [this] { toggle(rs232_); });

    display_->setText(display);
    rs232_->setText(rs232);
    mode_->setText(mode);
    // Keep the room for the warning so the dialog does not jump when it appears.
    warning_->setFixedWidth(300);
    fixSizeAndCentre(*this, host.state());
    showWarning();
}

QString BackgroundModeDialog::mode() const {
    return mode_->text();
}

void BackgroundModeDialog::toggle(QPushButton* button) {
    button->setText(button->text() == options::modeOn() ? options::modeOff() : options::modeOn());
    const int md =
        (display_->text() == options::modeOn() ? 1 : 0) + (rs232_->text() == options::modeOn() ? 2 : 0);
    mode_->setText(QString::number(md));
    showWarning();
}

void BackgroundModeDialog::showWarning() {
    warning_->setHidden(rs232_->text() != options::modeOn());
}

void BackgroundModeDialog::okClicked() {
    // An MD number the page could not read ("-") is never sent: toggle a button first.
    const QString md = mode();
    if (md.size() != 1 || md[0] < '0' || md[0] > '3') {
        reject();
        return;
    }
    main_.state().DialogResult = QStringLiteral("OK");
    hourglass();
    const QString command = writeCommand(main_.state().AddressPrefix, QStringLiteral("MD"), md);
    page_.showCommand(command);
    accept();
}

void BackgroundModeDialog::cancelClicked() {
    main_.state().DialogResult = QStringLiteral("Cancel");
    reject();
}

} // namespace cvi
