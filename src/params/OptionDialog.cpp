#include "OptionDialog.h"

#include "Frames.h"
#include "Link.h"
#include "MainWindow.h"
#include "PageControls.h"
#include "Pointer.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
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

void centreOnScreen(QWidget& window, const AppState& state) {
    int width = state.ScreenWidthPx;
    int height = state.ScreenHeightPx;
    if (width <= 0 || height <= 0) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            width = screen->geometry().width();
            height = screen->geometry().height();
        }
    }
    window.move((width - window.width()) / 2, (height - window.height()) / 2);
}

// ---------------------------------------------------------------------------------------------

OptionDialog::OptionDialog(MainWindow& main, const Member& member, QWidget* parent)
    : QDialog(parent), main_(main), member_(member), comm1_(main.makeLink()) {
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
    const QString shown = PageControls(main).text(member.valueBox);
    for (const auto& name : member.selectedBy) {
        if (name.text != shown) continue;
        for (const auto& choice : member.choices)
            if (choice.code == name.code)
                if (auto* option = findChild<QRadioButton*>(choice.button)) option->setChecked(true);
        break;
    }
    fixSizeAndCentre(*this, main.state());
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

void OptionDialog::apply() {
    if (!confirmed_) return;
    PageControls page(main_);
    if (!member_.waitText.isEmpty()) page.middle(member_.waitText);
    main_.runtime().pump();
    hourglass();
    switch (member_.sequence) {
    case Sequence::Write:
        applyWrite(page);
        break;
    case Sequence::BaudLock:
        applyBaudLock(page);
        break;
    case Sequence::ZeroSet:
        applyZeroSet(page);
        break;
    case Sequence::Units:
        applyUnits(page);
        break;
    }
    comm1_->ClosePort();
    normalPointer();
}

QString OptionDialog::exchange(const QString& commandText, double pause) {
    comm1_->Output(pageLine(commandText));
    comm1_->Delay(pause);
    return comm1_->ReadReply();
}

bool OptionDialog::showEcho(PageControls& page, const QString& reply) {
    page.append(reply);
    // A reply too short to carry a value after "*00nnXX=" confirms nothing.
    const QString value = ParameterValue(reply);
    if (value.isEmpty()) {
        if (member_.dashOnNoReply) page.setText(member_.valueBox, Dash);
        if (!member_.noReply.isEmpty()) page.middle(member_.noReply);
        return false;
    }
    // A value the table has no name for leaves the box as it was.
    const QString text = shownAs(value);
    if (!text.isEmpty()) page.setText(member_.valueBox, text);
    page.middle(member_.success);
    return true;
}

void OptionDialog::applyWrite(PageControls& page) {
    const QString command = writeCommand(main_.state().AddressPrefix, member_.mnemonic, code_);
    page.command(command);
    comm1_->OpenPort();
    comm1_->WakeUp();
    showEcho(page, exchange(command, 0.5));
}

void OptionDialog::applyBaudLock(PageControls& page) {
    const QString command = broadcastWrite(member_.mnemonic, code_);
    page.command(command);
    comm1_->OpenPortIfClosed();
    comm1_->Output(pageLine(command));
    comm1_->Delay(1.0);

    // Every instrument answers in loop order, then the broadcast itself comes back around the
    // loop; a quiet read time-out means nothing more is on its way.
    const int most = std::max<int>(main_.state().InstrumentCount, 0) + 2;
    int confirmed = 0;
    bool mismatch = false;
    for (int i = 0; i < most; ++i) {
        const QString line = comm1_->ReadReply();
        if (line.isEmpty()) break;
        if (line.mid(1, 2) == QStringLiteral("99")) continue;
        page.append(line);
        if (!ParameterValue(line).isEmpty()) ++confirmed;
        // The lock digit follows "*00nnBL=".
        if (line.mid(8, 1) != code_) mismatch = true;
    }
    if (confirmed == 0) {
        page.setText(member_.valueBox, Dash);
        page.middle(member_.noReply);
        return;
    }
    if (mismatch)
        main_.op().message(options::baudLockMismatch(), options::warningTitle(), Operator::Icon::Exclamation);
    page.setText(member_.valueBox, shownAs(code_));
    page.middle(member_.success);
}

void OptionDialog::applyZeroSet(PageControls& page) {
    const QString prefix = main_.state().AddressPrefix;
    const QString command = writeCommand(prefix, member_.mnemonic, code_);
    page.command(command);
    comm1_->OpenPort();
    comm1_->WakeUp();

    if (code_ == QStringLiteral("0")) {
        const QString reply = exchange(command, 0.5);
        comm1_->ClosePort();
        page.append(reply);
        if (ParameterValue(reply).isEmpty()) {
            page.middle(member_.noReply);
            return;
        }
        page.setText(member_.valueBox, shownAs(code_));
        page.setSwitches(options::offsetSwitches(false));
        page.middle(QString());
        return;
    }

    // Taring requested: the instrument takes its zero with the next measurement; ask how far
    // it has got once that had time to finish.
    comm1_->Output(pageLine(command));
    page.middle(member_.waitText);
    comm1_->Delay(1.0);
    comm1_->ClosePort();
    comm1_->Delay(1.0);
    comm1_->OpenPort();
    const QString zsRead = readCommand(prefix, member_.mnemonic);
    page.command(zsRead);
    comm1_->Output(pageLine(zsRead));
    const QString zs = comm1_->ReadReply();
    comm1_->ClosePort();
    page.append(zs);
    const QString state = ParameterValue(zs);
    if (state.isEmpty()) {
        page.middle(member_.noReply);
        return;
    }
    page.middle(QString());
    const QString text = shownAs(state);
    if (!text.isEmpty()) page.setText(member_.valueBox, text);
    if (state == QStringLiteral("0")) page.setSwitches(options::offsetSwitches(false));
    if (state != QStringLiteral("1") && state != QStringLiteral("2")) return;

    comm1_->OpenPort();
    const QString zvRead = readCommand(prefix, QStringLiteral("ZV"));
    page.command(zvRead);
    const QString zv = exchange(zvRead, 1.0);
    page.append(zv);
    page.setSwitches(options::offsetSwitches(true));
    const QString offset = ParameterValue(zv);
    if (offset.isEmpty()) {
        page.setText(QStringLiteral("lblZV"), Dash);
        page.middle(options::zeroSetNoReply());
    } else {
        page.setText(QStringLiteral("lblZV"), offset);
    }
}

void OptionDialog::applyUnits(PageControls& page) {
    const QString prefix = main_.state().AddressPrefix;
    const QString command = writeCommand(prefix, member_.mnemonic, code_);
    page.command(command);
    comm1_->OpenPort();
    comm1_->WakeUp();
    const QString reply = exchange(command, 0.5);
    page.append(reply);
    // Without a confirmed write the page keeps the old unit and values.
    if (ParameterValue(reply).isEmpty()) return;

    page.middle(member_.success);
    page.setText(member_.valueBox, shownAs(code_));
    page.setSwitches(options::userFactorSwitches(code_));

    // The instrument rescales the values it keeps in pressure units; show them anew.
    const bool modelM = page.text(QStringLiteral("lblSoftwareVersion")).startsWith('M');
    for (const auto& reread : options::unitRereads()) {
        if (reread.fullModelOnly && modelM) continue;
        const QString read = readCommand(prefix, reread.mnemonic);
        page.command(read);
        const QString answer = exchange(read, 0.5);
        page.append(answer);
        const QString value = ParameterValue(answer);
        if (value.isEmpty()) {
            main_.op().message(reread.warning, options::warningTitle(), Operator::Icon::Exclamation);
            page.setText(reread.valueBox, Dash);
        } else {
            page.setText(reread.valueBox, value);
        }
    }
    // The 16-bit output limits are kept as typed; the operator has to enter them again.
    if (holdsValue(page.text(QStringLiteral("lblLL"))) || holdsValue(page.text(QStringLiteral("lblLH"))))
        main_.op().message(options::limitsCaution(), options::cautionTitle(), Operator::Icon::Exclamation);
}

// ---------------------------------------------------------------------------------------------

BackgroundModeDialog::BackgroundModeDialog(MainWindow& main, QWidget* parent) : QDialog(parent), main_(main) {
    setObjectName(QStringLiteral("frmMD"));
    setWindowTitle(options::backgroundModeCaption());

    const PageControls page(main);
    const QString display = page.text(QStringLiteral("lblDisplay"));
    const QString rs232 = page.text(QStringLiteral("lblRS232"));
    const QString mode = page.text(QStringLiteral("lblMD"));

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
    fixSizeAndCentre(*this, main.state());
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
    PageControls(main_).command(command);
    accept();
}

void BackgroundModeDialog::cancelClicked() {
    main_.state().DialogResult = QStringLiteral("Cancel");
    reject();
}

} // namespace cvi
