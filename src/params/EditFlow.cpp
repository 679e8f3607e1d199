#include "EditFlow.h"

#include "Edits.h"
#include "Frames.h"
#include "OptionDialogs.h"
#include "PageHeader.h"
#include "PageHost.h"
#include "Pointer.h"

#include <QGridLayout>
#include <QMouseEvent>

namespace cvi {

using namespace catalogue;

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

// ---- shared pieces of the pages ---------------------------------------------------------------

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
