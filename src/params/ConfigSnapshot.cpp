#include "ConfigSnapshot.h"

#include "Edits.h"
#include "FileFault.h"
#include "Frames.h"
#include "PageHost.h"
#include "Pointer.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace cvi {

namespace {

const QString Filter = QStringLiteral("Instrument configurations (*.json)");
const QString SaveTitle = QStringLiteral("Save Instrument Configuration");
const QString CompareTitle = QStringLiteral("Compare With File");
const QString RestoreTitle = QStringLiteral("Restore From File");

// The line's control characters as <CR> and <LF>.
QString visibleLine(const QString& line) {
    QString out;
    for (const QChar c : line) {
        if (c == QLatin1Char('\r'))
            out += QStringLiteral("<CR>");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("<LF>");
        else
            out += c;
    }
    return out;
}

// The instrument as the pages read it; nothing (after telling the operator) before a page's Start.
std::optional<QList<snapshot::Parameter>> readSoFar(PageHost& host, const QString& title,
                                                    QStringList* pages) {
    const AppState& state = host.state();
    if (state.Record.id.isEmpty() || !state.Record.has(QStringLiteral("SN"))) {
        host.op().message(
            QStringLiteral("Choose an instrument and click Start on its Configuration page first."), title,
            Operator::Icon::Exclamation);
        return std::nullopt;
    }
    return snapshot::fromRecord(state, pages);
}

std::optional<QJsonObject> openDocument(PageHost& host, const QString& title) {
    const QString file = host.op().openFileName(title, Filter, host.state().ProgramFolder);
    if (file.isEmpty()) return std::nullopt;
    QString why;
    std::optional<QJsonObject> doc = snapshot::load(file, &why);
    if (!doc) host.op().message(why, title, Operator::Icon::Exclamation);
    return doc;
}

void saveConfiguration(PageHost& host) {
    QStringList pages;
    const auto parameters = readSoFar(host, SaveTitle, &pages);
    if (!parameters) return;
    const AppState& state = host.state();
    std::optional<QString> integration;
    if (pages.contains(QStringLiteral("configuration")) &&
        !state.Record.box(QStringLiteral("lblIntegrationTime")).isEmpty())
        integration = state.Record.box(QStringLiteral("lblIntegrationTime"));
    const QJsonObject doc = snapshot::document(
        state.Record.id, pages, *parameters, integration,
        snapshot::portJson(state.Link.port, host.link().portSettings(state.Link).device, state.Link));
    const QString file = host.op().saveFileName(SaveTitle, Filter, state.ProgramFolder);
    if (file.isEmpty()) return;
    QString why;
    if (!replaceFile(file, QJsonDocument(doc).toJson(QJsonDocument::Indented), &why))
        host.op().message(
            QStringLiteral("%1 could not be written (%2).").arg(QDir::toNativeSeparators(file), why),
            SaveTitle, Operator::Icon::Exclamation);
}

QMap<QString, std::optional<QString>> valuesOf(const QList<snapshot::Parameter>& parameters) {
    QMap<QString, std::optional<QString>> values;
    for (const snapshot::Parameter& p : parameters)
        values.insert(p.name, p.value);
    return values;
}

void compareWithFile(PageHost& host) {
    const auto parameters = readSoFar(host, CompareTitle, nullptr);
    if (!parameters) return;
    const auto doc = openDocument(host, CompareTitle);
    if (!doc) return;
    CompareWindow window(*parameters, *doc, host.window());
    host.op().runModal(window);
}

// What the pages show after a restore's write: the record, and so every box of the parameter.
void adopt(AppState& state, const catalogue::Parameter& p, const snapshot::Change& c) {
    InstrumentRecord& record = state.Record;
    const QString id = state.Record.id;
    auto replyOf = [&id](const QString& m, const QString& value) {
        return QStringLiteral("*00%1%2=%3\r\n").arg(id, m, value);
    };
    if (!c.confirmed) return;
    const QString shown =
        p.mnemonic == QLatin1String("MD") ? c.value : p.showWritten(c.value).value_or(c.value);
    record.set(p.mnemonic, c.echo.isEmpty() ? replyOf(p.mnemonic, c.value) : c.echo, shown);
    record.showBox(p.box, shown);
    if (p.mnemonic == QLatin1String("MD") && c.value.size() == 1) {
        const int md = c.value.toInt();
        record.showBox(QStringLiteral("lblDisplay"), md & 1 ? QStringLiteral("On") : QStringLiteral("Off"));
        record.showBox(QStringLiteral("lblRS232"), md & 2 ? QStringLiteral("On") : QStringLiteral("Off"));
    }
    if (p.mnemonic == QLatin1String("PR")) state.CurrentPR = c.value;
    for (const auto& [name, value] : c.rereads) {
        if (name == QLatin1String("integration_time")) {
            record.showBox(QStringLiteral("lblIntegrationTime"), value);
            continue;
        }
        const catalogue::Parameter* q = catalogue::find(name);
        if (!q) continue;
        record.set(name, value == texts::NoValue ? QString() : replyOf(name, value), value);
        record.showBox(q->box, value);
        if (name == QLatin1String("TR")) state.CurrentTR = value;
    }
}

void restoreFromFile(PageHost& host) {
    const auto parameters = readSoFar(host, RestoreTitle, nullptr);
    if (!parameters) return;
    const auto doc = openDocument(host, RestoreTitle);
    if (!doc) return;
    AppState& state = host.state();
    const snapshot::Plan plan = snapshot::plan(*doc, valuesOf(*parameters), state.Record.id);
    if (plan.writes.isEmpty()) {
        QStringList skipped;
        for (const snapshot::Difference& d : plan.differences)
            skipped << QStringLiteral("%1: skipped (%2)").arg(d.name, d.why);
        host.op().message(QStringLiteral("Nothing to write: the instrument holds the file's values.") +
                              (skipped.isEmpty() ? QString() : QStringLiteral("\n") + skipped.join('\n')),
                          RestoreTitle, Operator::Icon::Information);
        return;
    }
    QStringList lines;
    for (const snapshot::Difference& d : plan.differences)
        if (!d.why.isEmpty())
            lines << QStringLiteral("%1 %2 -> %3: skipped (%4)")
                         .arg(d.name, d.from.value_or(texts::NoValue), d.to, d.why);
    for (const auto& [p, value] : plan.writes)
        for (const QString& line : snapshot::plannedLines(*p, value, state.AddressPrefix))
            lines << QStringLiteral("%1: %2").arg(p->mnemonic, visibleLine(line));
    const QString heading =
        QStringLiteral("Instrument %1 (serial number %2) takes the values of the file (instrument %3, serial "
                       "number %4). These lines will be sent:")
            .arg(state.Record.id, state.Record.serialNumber(), plan.sourceId,
                 plan.serial.isEmpty() ? texts::NoValue : plan.serial);
    RestoreDialog confirm(heading, lines, host.window());
    if (host.op().runModal(confirm) != QDialog::Accepted) return;

    QStringList results;
    int refused = 0;
    host.runExchange([&] {
        hourglass();
        for (const auto& [p, value] : plan.writes) {
            // A value the window would refuse is never sent; the rest go on.
            if (const QString why = edit::refusal(*p, value); !why.isEmpty()) {
                results << QStringLiteral("%1=%2 refused: %3").arg(p->mnemonic, value, why);
                ++refused;
                continue;
            }
            const snapshot::Change c =
                snapshot::write(host.channel(), *p, value, state.ReadTimeout, state.InstrumentCount);
            adopt(state, *p, c);
            const QString echo = c.answered ? visibleLine(c.echo) : QStringLiteral("no echo");
            if (c.accepted()) {
                results << QStringLiteral("%1=%2 confirmed (%3)").arg(p->mnemonic, value, echo);
            } else {
                ++refused;
                results << QStringLiteral("%1=%2 refused: %3 (%4)")
                               .arg(p->mnemonic, value,
                                    !c.answered           ? texts::NoResponse
                                    : c.refusal.isEmpty() ? QStringLiteral("the echo holds no value")
                                                          : c.refusal,
                                    echo);
            }
        }
        normalPointer();
    });
    host.op().message(results.join('\n'), RestoreTitle,
                      refused ? Operator::Icon::Exclamation : Operator::Icon::Information);
}

} // namespace

CompareWindow::CompareWindow(const QList<snapshot::Parameter>& instrument, const QJsonObject& file,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(CompareTitle);
    QMap<QString, std::optional<QString>> here;
    for (const snapshot::Parameter& p : instrument)
        here.insert(p.name, p.value);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QStringLiteral("The instrument as its pages read it, and the file (instrument %1):")
                       .arg(file.value("id").toString())));
    table_ = new QTableWidget(0, 4);
    table_->setObjectName(QStringLiteral("tblCompare"));
    table_->setHorizontalHeaderLabels({QStringLiteral("Parameter"), QStringLiteral("Instrument"),
                                       QStringLiteral("File"), QStringLiteral("Differs")});
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    for (const QJsonValue v : file.value("parameters").toArray()) {
        const QJsonObject o = v.toObject();
        const QString name = o.value("name").toString();
        const std::optional<QString> ours = here.value(name);
        const QString theirs = o.value("value").isNull() ? texts::NoValue : o.value("value").toString();
        QString differs;
        if (!here.contains(name))
            differs = QStringLiteral("Not read");
        else if (ours.value_or(texts::NoValue) != theirs)
            differs = QStringLiteral("Yes");
        else
            differs = QStringLiteral("No");
        if (differs == QLatin1String("Yes")) ++differing_;
        const int row = table_->rowCount();
        table_->insertRow(row);
        const QStringList cells{name, here.contains(name) ? ours.value_or(texts::NoValue) : QString(), theirs,
                                differs};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 0) item->setToolTip(catalogue::find(name)->boxCaption());
            table_->setItem(row, c, item);
        }
    }
    table_->resizeColumnsToContents();
    layout->addWidget(table_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("cmdCompareClose"));
    buttons->button(QDialogButtonBox::Close)->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(560, 480);
}

RestoreDialog::RestoreDialog(const QString& heading, const QStringList& lines, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmRestore"));
    setWindowTitle(RestoreTitle);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(heading);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QPlainTextEdit(lines.join('\n'));
    list->setObjectName(QStringLiteral("txtRestoreLines"));
    list->setReadOnly(true);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("cmdRestoreOK"));
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Send"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cmdRestoreCancel"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(620, 420);
}

void installSnapshots(PageHost& host) {
    host.onAction(QStringLiteral("mnuSaveConfig"), [&host] { saveConfiguration(host); });
    host.onAction(QStringLiteral("mnuCompareConfig"), [&host] { compareWithFile(host); });
    host.onAction(QStringLiteral("mnuRestoreConfig"), [&host] { restoreFromFile(host); });
}

} // namespace cvi
