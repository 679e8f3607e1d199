#include "EditFlow.h"

#include "Frames.h"
#include "Guard.h"
#include "MainWindow.h"
#include "OptionDialogs.h"
#include "Pointer.h"
#include "ResponseLog.h"

#include <QMouseEvent>

#include <cmath>

namespace cvi {

using namespace catalogue;

// ---- the value box ----------------------------------------------------------------------------

ValueBox::ValueBox(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumWidth(90);
    setMargin(2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ValueBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void ValueBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

QString Reply::value() const {
    return ParameterValue(line);
}

namespace {

const char* const RunningProperty = "cviExchangeRunning";

DialogOpener& dialogOpener() {
    static DialogOpener opener;
    return opener;
}

Reply readReply(Link& link) {
    return Reply{link.ReadInput().value_or(QString())};
}

QLabel* labelOf(MainWindow& main, const char* name) {
    return main.findChild<QLabel*>(QString::fromLatin1(name));
}

void setLabel(MainWindow& main, const char* name, const QString& text) {
    if (QLabel* l = labelOf(main, name)) l->setText(text);
}

// An answer goes on the line as typed; one holding line breaks or other control characters (or
// characters the line cannot carry) would break the command apart, so it is refused.
bool fitsOnLine(const QString& answer) {
    for (const QChar c : answer)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.unicode() > 0xFF) return false;
    return true;
}

// PR: numeric and, rounded to a whole number (halves to the even neighbour), 1 to 16383.
bool validResolution(const QString& answer) {
    if (!isNumeric(answer)) return false;
    const double rounded = std::nearbyint(leadingNumber(answer.trimmed()));
    return rounded >= 1 && rounded < 16384;
}

// Rounds to `decimals` places, halves away from zero, on the number as a single-precision value
// shows itself (0.7854, not 0.78539997).
double roundShown(float value, int decimals) {
    const double shown = QString::number(static_cast<double>(value), 'g', 7).toDouble();
    const double scale = std::pow(10.0, decimals);
    const double magnitude = std::floor(std::fabs(shown) * scale + 0.5 + 1e-9) / scale;
    return shown < 0 ? -magnitude : magnitude;
}

void rereadTR(MainWindow& main, const PageContext& page) {
    Link& link = main.link();
    const QString command = readCommand(main.state().AddressPrefix, QStringLiteral("TR"));
    page.showCommand(command);
    link.Output(pageLine(command));
    link.WaitForInput(1.5);
    const Reply tr = readReply(link);
    if (!tr.answered()) return;
    appendReply(page.response, tr.line);
    setLabel(main, "lblTR", tr.holdsValue() ? tr.value() : texts::NoValue);
}

// After a new offset the taring state is read again on a fresh open.
void rereadZS(MainWindow& main, const PageContext& page) {
    Link& link = main.link();
    link.ClosePort();
    link.OpenPort();
    const QString command = readCommand(main.state().AddressPrefix, QStringLiteral("ZS"));
    page.showCommand(command);
    link.Output(pageLine(command));
    const Reply zs = readReply(link);
    if (zs.answered()) appendReply(page.response, zs.line);
    std::optional<QString> value;
    if (zs.holdsValue()) value = zs.value();
    showCoded(labelOf(main, "lblZS"), *find(QStringLiteral("ZS")), value);
}

// The prompt edit of one parameter: ask, write one enable-write line, show the echo.
void promptEdit(MainWindow& main, const PageContext& page, const Parameter& p, QLabel* box) {
    AppState& state = main.state();
    Link& link = main.link();
    if (page.needsStart()) {
        main.setLeftMessage(texts::StartFirst);
        return;
    }
    main.setLeftMessage(QString());
    main.setMiddleMessage(QString());
    page.showCommand(QString());

    const QString defaultAnswer = p.defaultIsCurrent ? box->text() : QString();
    QString answer;
    for (;;) {
        answer = main.op().input(p.prompt(), p.promptTitle, defaultAnswer);
        if (answer.isEmpty() || p.check != Check::Resolution || validResolution(answer)) break;
    }
    if (answer.isEmpty()) {
        if (!p.cancelMessage.isEmpty()) main.setMiddleMessage(p.cancelMessage);
        return;
    }
    if (!fitsOnLine(answer) ||
        (p.check == Check::Humidity && answer.left(3).toUpper() != QStringLiteral("RHT"))) {
        main.setMiddleMessage(texts::InvalidEntry);
        return;
    }

    if (!p.waitText.isEmpty()) main.setMiddleMessage(p.waitText);
    link.OpenPort();
    link.WakeUp();
    hourglass();
    const QString command = writeCommand(state.AddressPrefix, p.mnemonic, answer);
    if (p.bareCommandShown)
        page.showCommand(state.AddressPrefix + p.mnemonic + QStringLiteral("=") + answer);
    else if (!p.commandShownLate)
        page.showCommand(command);
    if (p.secondWakeUp) link.WakeUp();
    link.Output(pageLine(command));
    if (p.commandShownLate) page.showCommand(command);
    link.WaitForInput(p.replyWait);
    const Reply reply = readReply(link);

    if (reply.answered()) appendReply(page.response, p.echoLine ? reply.line + CRLF : reply.line);
    // The echo is the only confirmation. A reply too short to hold a value confirms nothing,
    // except for the limits, whose box shows the answer as typed.
    const bool confirmed = p.showsAnswer ? reply.answered() : reply.holdsValue();
    if (confirmed) {
        box->setText(p.showsAnswer ? answer : reply.value());
        main.setMiddleMessage(p.success);
    } else if (!p.quietOnSilence) {
        main.setMiddleMessage(texts::NoResponse);
        if (p.page == Page::Configuration) box->setText(texts::NoValue);
    }

    if (p.mnemonic == QLatin1String("TR") && confirmed) state.CurrentTR = box->text();
    if (p.mnemonic == QLatin1String("ZV") && confirmed) rereadZS(main, page);
    if (p.mnemonic == QLatin1String("PR")) {
        if (confirmed) state.CurrentPR = box->text();
        rereadTR(main, page);
        link.ClosePort();
        showIntegrationTime(main, page);
        emit main.samplingResetRequested();
    }
    link.ClosePort();
    normalPointer();
}

// Boxes whose parameter belongs to an option dialog (or the Units dialog).
void dialogEdit(MainWindow& main, const PageContext& page, const Parameter& p, QLabel* box) {
    AppState& state = main.state();
    if (page.needsStart()) {
        main.setLeftMessage(texts::StartFirst);
        return;
    }
    page.showCommand(QString());
    main.setMiddleMessage(QString());
    // Only the dialog about to open may decide: one that never sets the result must not find
    // an "OK" left behind by an earlier one.
    state.DialogResult.clear();
    if (const DialogOpener& open = dialogOpener())
        open(main, box->objectName());
    else
        openOptionDialog(main, box->objectName());

    const QString command = page.command ? page.command->text() : QString();
    if (state.DialogResult == QLatin1String("OK") && !command.isEmpty()) {
        auto append = [&page](const QString& line) { appendReply(page.response, line); };
        if (p.mnemonic == QLatin1String("BL")) {
            hourglass();
            const QString value = main.link().CollectBroadcastReplies(command, append);
            if (value == QLatin1String("0") || value == QLatin1String("1"))
                box->setText(*p.showWritten(value));
        } else if (p.mnemonic == QLatin1String("MD")) {
            hourglass();
            const QString value = main.link().CollectBroadcastReplies(command, append);
            std::optional<QString> md;
            if (!value.isEmpty()) md = value;
            setLabel(main, "lblMD", md.value_or(texts::NoValue));
            showBackgroundMode(main, md);
        }
    }
    normalPointer();
}

bool holdsHintValue(const Parameter& p, const QLabel* box) {
    if (p.page == Page::Configuration) return !box->text().isEmpty() && !box->isHidden();
    return box->text().size() != 1;
}

} // namespace

// ---- running exchanges ------------------------------------------------------------------------

void setDialogOpener(DialogOpener opener) {
    dialogOpener() = std::move(opener);
}

bool exchangeRunning(MainWindow& main) {
    return main.property(RunningProperty).toBool();
}

bool runExchange(MainWindow& main, const std::function<void()>& action) {
    if (exchangeRunning(main)) return true;
    main.setProperty(RunningProperty, true);
    const bool ok = guarded(main.op(), action);
    main.setProperty(RunningProperty, false);
    if (!ok) {
        main.link().ClosePort();
        main.setMiddleMessage(QString());
        normalPointer();
    }
    return ok;
}

bool attachValueBox(MainWindow& main, const PageContext& page, ValueBox* box) {
    if (!box) return false;
    const Parameter* p = forBox(box->objectName());
    if (!p || !p->editable() || !p->editBoxes.contains(box->objectName())) return false;
    QObject::connect(box, &ValueBox::clicked, box, [&main, page, p, box] {
        runExchange(main, [&] {
            if (p->edit == Edit::Prompt)
                promptEdit(main, page, *p, box);
            else
                dialogEdit(main, page, *p, box);
        });
    });
    main.hint(box,
              [p, box]() -> QString { return holdsHintValue(*p, box) ? texts::ClickToChange : QString(); });
    return true;
}

void hintStartButton(MainWindow& main, QAbstractButton* start) {
    QPointer<QAbstractButton> button(start);
    main.hint(start, [button]() -> QString {
        return button && button->isEnabled() ? texts::PleaseClickStart : QString();
    });
}

// ---- shared pieces of the pages ---------------------------------------------------------------

Reply readParameter(MainWindow& main, const PageContext& page, const QString& mnemonic, ReadStep step) {
    Link& link = main.link();
    const QString command = readCommand(main.state().AddressPrefix, mnemonic);
    link.OpenPort();
    page.showCommand(command);
    if (step.wakeUp) {
        link.WakeUp();
        link.Output(command + CRLF);
    } else {
        link.Output(pageLine(command));
    }
    if (step.waitFirst > 0) link.WaitForInput(step.waitFirst);
    if (step.runInterfaceFirst) main.runtime().pump();
    Reply reply = readReply(link);
    if (reply.answered()) appendReply(page.response, reply.line);
    link.ClosePort();
    main.runtime().pump();
    return reply;
}

std::optional<QString> valueOf(MainWindow& main, const Reply& reply, const QString& mnemonic) {
    if (reply.holdsValue()) return reply.value();
    if (reply.answered())
        main.op().message(QStringLiteral("The reply to %1 holds no value ").arg(mnemonic) +
                              texts::CorruptedParameter,
                          QStringLiteral("Error"), Operator::Icon::Information);
    return std::nullopt;
}

QString integrationTimeText(const QString& pr, const std::optional<QString>& t1) {
    if (!isNumeric(pr)) return texts::NoValue;
    const double wholePR = std::nearbyint(leadingNumber(pr.trimmed()));
    if (std::fabs(wholePR) > 2147483647.0) return texts::NoValue;
    const int factor = (t1 && leadingNumber(*t1) > 33) ? 60 : 33;
    const float t = static_cast<float>(wholePR * factor / 10000.0);
    if (t == 1.0f) return numberText(1.0);
    const double seconds = static_cast<double>(t);
    const int decimals = seconds > 1 ? 1 : (seconds >= 0.1 ? 2 : 4);
    return numberText(roundShown(t, decimals));
}

void showIntegrationTime(MainWindow& main, const PageContext& page) {
    Link& link = main.link();
    const QString command = readCommand(main.state().AddressPrefix, QStringLiteral("T1"));
    link.OpenPort();
    page.showCommand(command);
    link.Output(pageLine(command));
    const Reply t1 = readReply(link);
    link.ClosePort();
    if (t1.answered()) appendReply(page.response, t1.line);
    std::optional<QString> value;
    if (t1.holdsValue()) value = t1.value();
    setLabel(main, "lblIntegrationTime", integrationTimeText(main.state().CurrentPR, value));
}

void showCoded(QLabel* box, const Parameter& parameter, const std::optional<QString>& value) {
    if (!box) return;
    if (!value) {
        box->setText(texts::NoValue);
        return;
    }
    box->setText(parameter.show(*value).value_or(texts::Unrecognised));
}

void showBackgroundMode(MainWindow& main, const std::optional<QString>& value) {
    static const QString On = QStringLiteral("On");
    static const QString Off = QStringLiteral("Off");
    QString display = texts::NoValue;
    QString rs232 = texts::NoValue;
    if (value) {
        if (*value == QLatin1String("0") || *value == QLatin1String("1") || *value == QLatin1String("2") ||
            *value == QLatin1String("3")) {
            const int md = value->toInt();
            display = (md & 1) ? On : Off;
            rs232 = (md & 2) ? On : Off;
        } else {
            display = rs232 = texts::Unrecognised;
        }
    }
    setLabel(main, "lblDisplay", display);
    setLabel(main, "lblRS232", rs232);
}

void showTaring(MainWindow& main, const QString& zs) {
    const bool on = zs == QLatin1String("1") || zs == QLatin1String("2");
    if (zs != QLatin1String("0") && !on) return;
    for (const char* name : {"lblZV", "lblZVName"})
        if (QLabel* l = labelOf(main, name)) l->setHidden(!on);
}

} // namespace cvi
