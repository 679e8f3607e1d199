#include "EditFlow.h"

#include "Edits.h"
#include "Frames.h"
#include "HelpWindow.h"
#include "OptionDialogs.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "Pointer.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace cvi {

using namespace catalogue;

// ---- the value box ----------------------------------------------------------------------------

ValueBox::ValueBox(const QString& name, InstrumentRecord& record, QWidget* parent)
    : QLabel(parent), record_(record) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumWidth(90);
    setMargin(2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
}

bool ValueBox::event(QEvent* event) {
    // Named once it sits in its frame, beside its caption.
    if (event->type() == QEvent::Polish) describe();
    return QLabel::event(event);
}

void ValueBox::describe() {
    if (!accessibleName().isEmpty()) return;
    const Parameter* p = forBox(objectName());
    const QString mnemonic = p ? p->mnemonic : objectName().mid(3);
    QString caption;
    QWidget* frame = parentWidget();
    if (auto* grid = qobject_cast<QGridLayout*>(frame ? frame->layout() : nullptr)) {
        int row = 0, column = 0, rows = 0, columns = 0;
        const int at = grid->indexOf(this);
        if (at >= 0) grid->getItemPosition(at, &row, &column, &rows, &columns);
        QLayoutItem* left = at >= 0 && column > 0 ? grid->itemAtPosition(row, column - 1) : nullptr;
        if (auto* label = qobject_cast<QLabel*>(left ? left->widget() : nullptr)) caption = label->text();
    }
    const auto* group = qobject_cast<QGroupBox*>(frame);
    if (caption.isEmpty() || caption == mnemonic)
        caption =
            group && !group->title().isEmpty() ? group->title() + QLatin1Char(' ') + mnemonic : mnemonic;
    setAccessibleName(caption);
    if (p) setAccessibleDescription(parameterMeaning(p->mnemonic));
}

void ValueBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && !event->isAutoRepeat() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ValueBox::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect();
    option.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void ValueBox::show(const QString& text) {
    QLabel::setText(text);
    record_.showBox(objectName(), text);
}

void ValueBox::showReading(const QString& mnemonic, const QString& reply, const QString& text) {
    show(text);
    record_.set(mnemonic, reply, text);
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

ValueBox* addValueBox(QGroupBox* frame, const QString& name, const QString& caption, InstrumentRecord& record,
                      int row, int column) {
    auto* grid = static_cast<QGridLayout*>(frame->layout());
    auto* box = new ValueBox(name, record, frame);
    if (!caption.isNull()) grid->addWidget(fieldCaption(caption, frame), row, column);
    grid->addWidget(box, row, column + 1);
    return box;
}

void followInstrumentInformation(PageHost& host, ValueBox* serial, ValueBox* version) {
    QObject::connect(&host, &PageHost::pageChanged, serial, [&host, serial, version] {
        serial->show(host.state().CurrentSN);
        version->show(host.state().CurrentVR);
    });
    QObject::connect(&host, &PageHost::informationCleared, serial, [serial, version] {
        serial->show(QString());
        version->show(QString());
    });
}

ValueBox* valueBox(const PageContext& page, const QString& name) {
    return qobject_cast<ValueBox*>(page.boxNamed(name));
}

namespace {

DialogOpener& dialogOpener() {
    static DialogOpener opener;
    return opener;
}

// The prompt edit of one parameter: ask, write one enable-write line, show the echo.
void promptEdit(PageHost& host, const PageContext& page, const Parameter& p, ValueBox* box) {
    AppState& state = host.state();
    if (page.needsStart()) {
        host.setLeftMessage(texts::StartFirst);
        return;
    }
    host.setLeftMessage(QString());
    host.setMiddleMessage(QString());
    page.showCommand(QString());

    const QString defaultAnswer = p.defaultIsCurrent ? box->text() : QString();
    QString answer;
    for (;;) {
        answer = host.op().input(p.prompt(), p.promptTitle, defaultAnswer);
        if (answer.isEmpty() || p.check != Check::Resolution || edit::validResolution(answer)) break;
    }
    if (answer.isEmpty()) {
        if (!p.cancelMessage.isEmpty()) host.setMiddleMessage(p.cancelMessage);
        return;
    }
    if (!edit::refusal(p, answer).isEmpty()) {
        host.setMiddleMessage(texts::InvalidEntry);
        return;
    }

    if (!p.waitText.isEmpty()) host.setMiddleMessage(p.waitText);
    hourglass();
    const edit::PromptWrite written = edit::writePrompted(host.channel(), p, answer, state.ReadTimeout);
    const Reply& reply = written.echo;
    if (written.confirmed) {
        box->showReading(p.mnemonic, reply.line, p.showsAnswer ? answer : reply.value());
        host.setMiddleMessage(p.success);
    } else if (!p.quietOnSilence) {
        host.setMiddleMessage(texts::NoResponse);
        if (p.page == Page::Configuration) box->showReading(p.mnemonic, reply.line, texts::NoValue);
    }
    if (p.mnemonic == QLatin1String("TR") && written.confirmed) state.CurrentTR = box->text();
    if (p.mnemonic == QLatin1String("PR") && written.confirmed) state.CurrentPR = box->text();
    if (written.tr && written.tr->answered())
        if (ValueBox* tr = valueBox(page, QStringLiteral("lblTR")))
            tr->showReading(QStringLiteral("TR"), written.tr->line,
                            written.tr->holdsValue() ? written.tr->value() : texts::NoValue);
    if (written.zs)
        showCoded(valueBox(page, QStringLiteral("lblZS")), *find(QStringLiteral("ZS")), *written.zs);
    if (p.mnemonic == QLatin1String("PR")) {
        showIntegrationTime(host, page);
        emit host.samplingResetRequested();
    }
    normalPointer();
}

// Boxes whose parameter belongs to an option dialog (or the Units dialog).
void dialogEdit(PageHost& host, const PageContext& page, const Parameter& p, ValueBox* box) {
    AppState& state = host.state();
    if (page.needsStart()) {
        host.setLeftMessage(texts::StartFirst);
        return;
    }
    page.showCommand(QString());
    host.setMiddleMessage(QString());
    // Only the dialog about to open may decide: one that never sets the result must not find
    // an "OK" left behind by an earlier one.
    state.DialogResult.clear();
    if (const DialogOpener& open = dialogOpener())
        open(host, page, box->objectName());
    else
        openOptionDialog(host, page, box->objectName());

    const QString command = page.command ? page.command->text() : QString();
    if (state.DialogResult == QLatin1String("OK") && !command.isEmpty()) {
        if (p.mnemonic == QLatin1String("BL")) {
            hourglass();
            const BroadcastReplies replies = collectBroadcastReplies(host.channel(), command);
            const QString value = replies.value();
            if (value == QLatin1String("0") || value == QLatin1String("1"))
                box->showReading(p.mnemonic, replies.lines.last(), *p.showWritten(value));
        } else if (p.mnemonic == QLatin1String("MD")) {
            hourglass();
            const BroadcastReplies replies = collectBroadcastReplies(host.channel(), command);
            const QString value = replies.value();
            std::optional<QString> md;
            if (!value.isEmpty()) md = value;
            if (ValueBox* mdBox = valueBox(page, QStringLiteral("lblMD")))
                mdBox->showReading(QStringLiteral("MD"),
                                   replies.lines.isEmpty() ? QString() : replies.lines.last(),
                                   md.value_or(texts::NoValue));
            showBackgroundMode(page, md);
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

bool runPageExchange(PageHost& host, const PageContext& page, const std::function<void()>& action) {
    return host.runExchange([&] {
        PageObserver shown(page, host.op());
        const Observing observing(host.link(), &shown);
        action();
    });
}

bool attachValueBox(PageHost& host, const PageContext& page, ValueBox* box) {
    if (!box) return false;
    const Parameter* p = forBox(box->objectName());
    if (!p || !p->editable() || !p->editBoxes.contains(box->objectName())) return false;
    QObject::connect(box, &ValueBox::clicked, box, [&host, page, p, box] {
        runPageExchange(host, page, [&] {
            if (p->edit == Edit::Prompt)
                promptEdit(host, page, *p, box);
            else
                dialogEdit(host, page, *p, box);
        });
    });
    host.hint(box,
              [p, box]() -> QString { return holdsHintValue(*p, box) ? texts::ClickToChange : QString(); });
    return true;
}

void hintStartButton(PageHost& host, QAbstractButton* start) {
    QPointer<QAbstractButton> button(start);
    host.hint(start, [button]() -> QString {
        return button && button->isEnabled() ? texts::PleaseClickStart : QString();
    });
}

// ---- shared pieces of the pages ---------------------------------------------------------------

std::optional<QString> valueOf(PageHost& host, const Reply& reply, const QString& mnemonic) {
    if (reply.holdsValue()) return reply.value();
    if (reply.answered())
        host.op().message(QStringLiteral("The reply to %1 holds no value ").arg(mnemonic) +
                              texts::CorruptedParameter,
                          QStringLiteral("Error"), Operator::Icon::Information);
    return std::nullopt;
}

void showIntegrationTime(PageHost& host, const PageContext& page) {
    const Reply t1 = edit::readIntegrationT1(host.channel(), host.state().ReadTimeout);
    if (ValueBox* box = valueBox(page, QStringLiteral("lblIntegrationTime")))
        box->show(integrationTimeText(host.state().CurrentPR, t1.valueIfAny()));
}

void showCoded(ValueBox* box, const Parameter& parameter, const Reply& reply) {
    if (!box) return;
    if (!reply.holdsValue()) {
        box->showReading(parameter.mnemonic, reply.line, texts::NoValue);
        return;
    }
    const std::optional<QString> shown = parameter.show(reply.value());
    if (!shown && parameter.unknownKeepsBox) return;
    box->showReading(parameter.mnemonic, reply.line, shown.value_or(texts::Unrecognised));
}

void showBackgroundMode(const PageContext& page, const std::optional<QString>& value) {
    static const QString On = QStringLiteral("On");
    static const QString Off = QStringLiteral("Off");
    QString display = texts::NoValue;
    QString rs232 = texts::NoValue;
    if (value) {
        if (*value != QLatin1String("0") && *value != QLatin1String("1") && *value != QLatin1String("2") &&
            *value != QLatin1String("3"))
            return; // a mode the instruments do not have changes nothing
        const int md = value->toInt();
        display = (md & 1) ? On : Off;
        rs232 = (md & 2) ? On : Off;
    }
    if (ValueBox* box = valueBox(page, QStringLiteral("lblDisplay"))) box->show(display);
    if (ValueBox* box = valueBox(page, QStringLiteral("lblRS232"))) box->show(rs232);
}

void showTaring(const PageContext& page, const QString& zs) {
    const bool on = zs == QLatin1String("1") || zs == QLatin1String("2");
    if (zs != QLatin1String("0") && !on) return;
    for (const char* name : {"lblZV", "lblZVName"})
        if (QLabel* l = page.boxNamed(QString::fromLatin1(name))) l->setHidden(!on);
}

} // namespace cvi
