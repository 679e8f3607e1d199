#include "LiveWindow.h"

#include "Centre.h"
#include "Frames.h"
#include "LiveTrend.h"
#include "MeasureTimeout.h"
#include "PageHost.h"
#include "Pointer.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

#include <algorithm>

namespace cvi {

namespace {
const QString Yes = QStringLiteral("Yes");
const QString IdCaption = QStringLiteral("Instrument ID : ");
const QString AskId = QStringLiteral("Please enter the ID of the instrument.");
const QString TooLong = QStringLiteral("Invalid Entry!");
const QString OutOfRange = QStringLiteral("InValid Entry!");
const QString NotConnected = QStringLiteral("This ID is not connected to the computer.");
const QString UserError = QStringLiteral("User Error");
const QString Warning = QStringLiteral("Warning");
constexpr double SpinStep = 0.1;
constexpr int LowestId = 1;
constexpr int HighestId = 98;
const QString RecordCaption = QStringLiteral("Record…");
const QString StopCaption = QStringLiteral("Stop recording");
const QString RecordTitle = QStringLiteral("Record");
} // namespace

// ---- display rules ------------------------------------------------------------------------------

namespace live {

QString leadingZero(const QString& number) {
    if (number.startsWith(QLatin1Char('.'))) return QLatin1Char('0') + number;
    if (number.startsWith(QStringLiteral("-."))) return QStringLiteral("-0") + number.mid(1);
    return number;
}

QString reading(const QString& number, const QString& resolution) {
    QString text = leadingZero(number);
    if (resolution != Low || !text.contains(QLatin1Char('.'))) return text;
    text.chop(1);
    if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
}

QString unitText(const QString& code) {
    static const char* const units[] = {"psi", "hPa", "bar", "kPa", "MPa", "in Hg", "mm Hg", "m H2O"};
    if (code.size() != 1 || code[0] < QLatin1Char('1') || code[0] > QLatin1Char('8')) return {};
    return QString::fromLatin1(units[code[0].unicode() - '1']);
}

} // namespace live

// ---- the window -----------------------------------------------------------------------------------

LiveWindow::LiveWindow(PageHost& host, const QString& name, const QString& caption,
                       const QString& promptTitle)
    : QWidget(host.window(), Qt::Window | Qt::WindowStaysOnTopHint), main_(host), comm_(host.makeLink()),
      reader_(*comm_, [this] { return exiting(); }), promptTitle_(promptTitle) {
    setObjectName(name);
    setWindowTitle(caption);
    auto panel = [this](const char* objectName, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(objectName));
        l->setTextFormat(Qt::PlainText);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        return l;
    };
    values_ = new QGridLayout;
    idPanel_ = panel("PnlID", IdCaption);
    timeout_ = panel("PnlTimeout", QString());
    auto* spin = new SpinButton(this);
    spin->setObjectName(QStringLiteral("Spin1"));
    resolutionButton_ = new QPushButton(live::High, this);
    resolutionButton_->setObjectName(QStringLiteral("CmdPressureResolution"));
    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("CmdExit"));
    // Escape is Exit, as it cancels a dialog.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, exit,
            &QPushButton::click);
    auto* reset = new QPushButton(QStringLiteral("Reset"), this);
    reset->setObjectName(QStringLiteral("cmdReset"));
    reset->setToolTip(QStringLiteral("Start the minimum, maximum, mean and count again"));
    recordButton_ = new QPushButton(RecordCaption, this);
    recordButton_->setObjectName(QStringLiteral("cmdRecord"));
    recordButton_->setToolTip(QStringLiteral("Append every reading to a CSV file"));
    trend_ = new LiveTrend(this);

    auto* controls = new QGridLayout;
    controls->addWidget(idPanel_, 0, 0, 1, 3);
    controls->addWidget(new QLabel(QStringLiteral("Timeout"), this), 1, 0);
    controls->addWidget(timeout_, 1, 1);
    controls->addWidget(spin, 1, 2);
    controls->addWidget(new QLabel(QStringLiteral("Resolution"), this), 2, 0);
    controls->addWidget(resolutionButton_, 2, 1, 1, 2);
    controls->addWidget(reset, 3, 0);
    controls->addWidget(recordButton_, 3, 1, 1, 2);
    controls->addWidget(exit, 4, 0, 1, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(values_);
    layout->addLayout(controls);
    layout->addWidget(trend_, 1);

    connect(exit, &QPushButton::clicked, this, [this] { exit_ = Yes; });
    connect(resolutionButton_, &QPushButton::clicked, this, &LiveWindow::toggleResolution);
    connect(reset, &QPushButton::clicked, trend_, &LiveTrend::reset);
    connect(recordButton_, &QPushButton::clicked, this, &LiveWindow::toggleRecording);
    connect(spin, &SpinButton::SpinUp, this, [this] { this->spin(SpinStep); });
    connect(spin, &SpinButton::SpinDown, this, [this] { this->spin(-SpinStep); });
}

LiveWindow::~LiveWindow() = default;

QLabel* LiveWindow::valuePanel(const QString& name) {
    auto* l = new QLabel(live::NoReading, this);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

void LiveWindow::follow(const QString& quantity, QLabel* panel, QLabel* unitPanel, const QString& unit) {
    followed_.push_back({panel, unitPanel, unit, quantity, trend_->addQuantity(quantity)});
}

void LiveWindow::display(QLabel* panel, const QString& text) {
    panel->setText(text);
    const auto f = std::find_if(followed_.cbegin(), followed_.cend(),
                                [panel](const Followed& x) { return x.panel == panel; });
    if (f == followed_.cend()) return;
    trend_->add(f->index, comm_->SecondsNow() - opened_, text);
    if (!recorder_.isOpen()) return;
    const QString unit = f->unitPanel ? f->unitPanel->text() : f->unit;
    if (recorder_.append(live::csvLine(QDateTime::currentDateTime(), id_, f->quantity, text, unit))) return;
    stopRecording();
    main_.op().message(QStringLiteral("Can't write to %1: %2. The readings are no longer recorded.")
                           .arg(QDir::toNativeSeparators(recorder_.path()), recorder_.error()),
                       RecordTitle, Operator::Icon::Exclamation);
}

void LiveWindow::toggleRecording() {
    // Stopping is at once; the save dialog waits until the pass has read all its values, so no
    // reply is left waiting on the line while the operator chooses a file.
    if (recorder_.isOpen())
        stopRecording();
    else if (running_)
        recordAsked_ = true;
    else
        startRecording();
}

void LiveWindow::startRecording() {
    recordAsked_ = false;
    const QString path = main_.op().saveFileName(QStringLiteral("Record readings"),
                                                 QStringLiteral("CSV files (*.csv)|*.csv"), recordFolder_);
    if (path.isEmpty() || exiting()) return;
    recordFolder_ = QFileInfo(path).absolutePath();
    const QString why = recorder_.open(path);
    if (!why.isEmpty()) {
        main_.op().message(
            QStringLiteral("Can't record to %1: %2. The window keeps reading without recording.")
                .arg(QDir::toNativeSeparators(path), why),
            RecordTitle, Operator::Icon::Exclamation);
        return;
    }
    recordButton_->setText(StopCaption);
}

void LiveWindow::stopRecording() {
    recorder_.close();
    recordButton_->setText(RecordCaption);
}

Channel LiveWindow::channel() const {
    return Channel{*comm_, main_.state().Link, main_.state().AddressPrefix};
}

void LiveWindow::run() {
    AppState& state = main_.state();
    Runtime& runtime = main_.runtime();
    // Topmost, then in the middle of the screen.
    adjustSize();
    centreOnScreen(*this, state);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
    if (!chooseInstrument()) return;
    // An Exit pressed while the window prepares counts: the flag is cleared before, not after.
    exit_.clear();
    running_ = true;
    opened_ = comm_->SecondsNow();
    show();
    runtime.pump();

    prepare();
    if (!exiting()) measureTimeout();
    // The switch starts at "High" each time the loop starts, its caption with it.
    resolution_ = live::High;
    resolutionButton_->setText(resolution_);
    if (!exiting()) {
        const Transaction loop(channel(), true);
        while (pass()) {
            runtime.pump();
            if (recordAsked_) startRecording();
        }
    }
    stopRecording();
    exit_.clear();
    comm_->ClosePort();
    running_ = false;
    main_.setMenusEnabled(true);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
}

bool LiveWindow::chooseInstrument() {
    AppState& state = main_.state();
    Operator& op = main_.op();
    if (state.IDList.size() == 2) {
        id_ = state.IDList;
        state.AddressPrefix = addressPrefixFor(id_);
        idPanel_->setText(IdCaption + id_);
        return true;
    }
    QString answer = op.input(AskId, promptTitle_, state.idAt(0));
    if (answer.isEmpty()) return false;
    if (answer.size() > 2) {
        op.message(TooLong, UserError, Operator::Icon::Exclamation);
        return false;
    }
    const double value = leadingNumber(answer);
    if (value < LowestId || value > HighestId) {
        op.message(OutOfRange, UserError, Operator::Icon::Exclamation);
        return false;
    }
    if (answer.size() == 1) answer.prepend(QLatin1Char('0'));
    if (!state.idListHolds(answer)) {
        op.message(NotConnected, Warning, Operator::Icon::Exclamation);
        return false;
    }
    id_ = answer;
    state.AddressPrefix = addressPrefixFor(id_);
    idPanel_->setText(IdCaption + id_);
    return true;
}

void LiveWindow::measureTimeout() {
    AppState& state = main_.state();
    Operator& op = main_.op();
    state.ReadTimeout = state.CommTimeout;
    const Channel c = channel();
    const auto pr = measure::readLive(c, QStringLiteral("PR"), state.ReadTimeout, wakeUpBeforePR_);
    if (!pr) op.message(measure::LiveCantReadPR, measure::MessageTitle, Operator::Icon::Exclamation);
    state.CurrentPR = pr.value_or(QString::number(measure::DefaultPR));
    const auto tr = measure::readLive(c, QStringLiteral("TR"), state.ReadTimeout);
    // A line that did not answer PR would not answer TR: one message for the two.
    if (!tr && pr) op.message(measure::LiveCantReadTR, measure::MessageTitle, Operator::Icon::Exclamation);
    state.CurrentTR = tr.value_or(QString::number(measure::DefaultTR));
    const auto t1Text = measure::readLive(c, QStringLiteral("T1"), state.ReadTimeout);
    const std::optional<double> t1 = t1Text ? measure::numberIn(*t1Text) : std::nullopt;
    const measure::Result result = measure::live({state.CurrentPR, state.CurrentTR, t1, state.CommTimeout});
    measure::adopt(state, result);
    if (t1)
        main_.setLeftMessage(QString());
    else
        main_.setMiddleMessage(QString());
    showTimeout();
}

void LiveWindow::showTimeout() {
    timeout_->setText(fixedText(main_.state().MeasureTimeout));
}

void LiveWindow::spin(double step) {
    AppState& state = main_.state();
    state.MeasureTimeout = std::max(0.0, state.MeasureTimeout + step);
    showTimeout();
    state.ReadTimeout = state.MeasureTimeout;
}

void LiveWindow::toggleResolution() {
    resolution_ = resolutionButton_->text() != live::High ? live::High : live::Low;
    resolutionButton_->setText(resolution_);
}

QString LiveWindow::ask(const QString& mnemonic, bool parameter) {
    return reader_.ask(id_, mnemonic, main_.state().ReadTimeout, parameter);
}

QString LiveWindow::askAlone(const QString& mnemonic, bool wakeUp) {
    const Transaction t(channel(), wakeUp);
    return ask(mnemonic, true);
}

QString LiveWindow::readReply(const QString& mnemonic) {
    return reader_.readReply(id_, mnemonic, main_.state().ReadTimeout);
}

void LiveWindow::recover(QLabel* panel) {
    panel->setText(live::NoReading);
    if (reader_.recover(main_.state().AddressPrefix, main_.state().CommTimeout)) panel->clear();
}

bool LiveWindow::readInto(const QString& mnemonic, QLabel* panel, bool pressure, bool clearsMessage) {
    QString reply = ask(mnemonic);
    if (exiting()) return false;
    if (reply.isEmpty()) {
        recover(panel);
    } else {
        if (clearsMessage) main_.setMiddleMessage(QString());
        const QString number = ReplyNumber(reply);
        display(panel, pressure ? live::reading(number, resolution_) : live::leadingZero(number));
    }
    main_.runtime().pump();
    return true;
}

QString LiveWindow::pressureUnit() {
    const QString code = ParameterValue(askAlone(QStringLiteral("UN"), true));
    if (code.isEmpty()) main_.setMiddleMessage(QStringLiteral("Can't read the pressure unit..."));
    if (code != QStringLiteral("0")) return live::unitText(code);
    const QString user = ParameterValue(askAlone(QStringLiteral("UM"), false));
    return user.isEmpty() ? QStringLiteral("?") : user;
}

void LiveWindow::closeEvent(QCloseEvent* event) {
    // Closing the frame is Exit: the loop ends within one poll and the menu item closes the window.
    if (running_) {
        exit_ = Yes;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// ---- the menu item ---------------------------------------------------------------------------------

void runLiveWindow(PageHost& host, const std::function<std::unique_ptr<LiveWindow>()>& make) {
    runLiveMenuItem(host, [&make] { make()->run(); });
}

bool runLiveMenuItem(PageHost& host, const std::function<void()>& run) {
    if (host.portBusy()) return false;
    AppState& state = host.state();
    host.setMenusEnabled(false);
    host.setLeftMessage(QString());
    host.showPages(false);
    state.SavedAddressPrefix = state.AddressPrefix;
    // An error anywhere ends the window (its port is released before the message) and nothing
    // else; the operator sees its description in a plain message box.
    try {
        run();
    } catch (const PortError& e) {
        normalPointer();
        host.op().message(e.text(), QString(), Operator::Icon::None);
    } catch (const std::exception& e) {
        normalPointer();
        host.op().message(QString::fromLocal8Bit(e.what()), QString(), Operator::Icon::None);
    }
    state.AddressPrefix = state.SavedAddressPrefix;
    emit host.samplingResetRequested();
    host.showPages(true);
    normalPointer();
    host.setMenusEnabled(true);
    return true;
}

} // namespace cvi
