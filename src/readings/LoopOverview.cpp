#include "LoopOverview.h"

#include "Centre.h"
#include "Frames.h"
#include "LiveWindow.h"
#include "MeasureTimeout.h"
#include "PageHost.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

namespace cvi {

const QString LoopOverview::Answering = QStringLiteral("answering");
const QString LoopOverview::Silent = QStringLiteral("silent");
const QString LoopOverview::Streaming = QStringLiteral("streaming");

namespace {
const QString Yes = QStringLiteral("Yes");
const QString Unknown = QStringLiteral("-");
constexpr int AgesEveryMs = 500;
constexpr int RowHeight = 24;
const char* const Headings[] = {
    "ID", "Serial Number", "Software Version", "Unit", "Pressure", "Last Answer (s ago)", "State"};
} // namespace

LoopOverview::LoopOverview(PageHost& host)
    : QWidget(host.window(), Qt::Window | Qt::WindowStaysOnTopHint), main_(host), comm_(host.makeLink()),
      reader_(*comm_, [this] { return exiting(); }) {
    setObjectName(QStringLiteral("frmLoopOverview"));
    setWindowTitle(QStringLiteral("Loop Overview"));
    const AppState& state = host.state();
    for (int i = 0; i < state.idCount(); ++i)
        rows_.push_back(Row{state.idAt(i)});

    table_ = new QTableWidget(int(rows_.size()), ColumnCount, this);
    table_->setObjectName(QStringLiteral("tblLoop"));
    for (int c = 0; c < ColumnCount; ++c)
        table_->setHorizontalHeaderItem(c, new QTableWidgetItem(QString::fromLatin1(Headings[c])));
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setToolTip(QStringLiteral("Double-click an instrument to choose it on the pages"));
    for (int r = 0; r < int(rows_.size()); ++r)
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(c == Id ? rows_[r].id : QString());
            item->setTextAlignment(c == Pressure || c == Age ? Qt::AlignRight | Qt::AlignVCenter
                                                             : Qt::AlignLeft | Qt::AlignVCenter);
            table_->setItem(r, c, item);
        }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);

    auto* exit = new QPushButton(QStringLiteral("Exit"), this);
    exit->setObjectName(QStringLiteral("CmdExit"));
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, exit,
            &QPushButton::click);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addWidget(exit, 0, Qt::AlignRight);

    connect(exit, &QPushButton::clicked, this, [this] { exit_ = Yes; });
    connect(table_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row < 0 || row >= int(rows_.size())) return;
        chosen_ = rows_[row].id;
        exit_ = Yes;
    });
    ages_ = new QTimer(this);
    ages_->setInterval(AgesEveryMs);
    connect(ages_, &QTimer::timeout, this, &LoopOverview::showAges);
    reader_.onPassedOver([this](const QString& line) { heard(line); });

    int width = 0;
    for (int c = 0; c < ColumnCount; ++c)
        width += table_->columnWidth(c);
    resize(std::max(width + 48, 640), std::min(RowHeight * int(rows_.size() + 4) + 40, 600));
}

LoopOverview::~LoopOverview() = default;

void LoopOverview::run() {
    AppState& state = main_.state();
    Runtime& runtime = main_.runtime();
    centreOnScreen(*this, state);
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
    exit_.clear();
    running_ = true;
    show();
    runtime.pump();
    if (!rows_.empty()) {
        ages_->start();
        const Transaction loop(Channel{*comm_, state.Link, state.AddressPrefix}, true);
        while (!exiting()) {
            for (int i = 0; i < int(rows_.size()) && !exiting(); ++i) {
                if (rows_[i].described || describe(i)) readPressure(i);
                if (exiting()) break;
                showState(i);
                showAges();
                runtime.pump();
            }
        }
        ages_->stop();
    }
    comm_->ClosePort();
    running_ = false;
    main_.setLeftMessage(QString());
    main_.setMiddleMessage(QString());
}

bool LoopOverview::describe(int index) {
    Row& row = rows_[index];
    const double wait = main_.state().CommTimeout;
    // A parameter's value; none when no answer came.
    auto value = [this, &row, wait](const char* mnemonic) -> std::optional<QString> {
        const QString reply = reader_.ask(row.id, QString::fromLatin1(mnemonic), wait, true);
        if (reply.isEmpty()) return std::nullopt;
        row.answeredAt = comm_->SecondsNow();
        return ParameterValue(reply);
    };
    const std::optional<QString> sn = value("SN");
    row.answers = sn.has_value();
    if (!sn || exiting()) return false;
    setCell(index, SerialNumber, *sn);
    setCell(index, Version, value("VR").value_or(Unknown));
    const std::optional<QString> code = value("UN");
    QString unit = code ? live::unitText(*code) : Unknown;
    if (code == QStringLiteral("0")) {
        const QString user = value("UM").value_or(QString());
        unit = user.isEmpty() ? QStringLiteral("?") : user;
    }
    setCell(index, Unit, unit);
    const std::optional<QString> md = value("MD");
    if (md == QStringLiteral("2") || md == QStringLiteral("3")) row.streams = true;
    // Its own measurement time-out, as a live window works it out for it.
    auto number = [&value](const char* mnemonic, int otherwise) {
        const std::optional<QString> v = value(mnemonic);
        return v && measure::numberIn(*v) ? v->trimmed() : QString::number(otherwise);
    };
    const QString pr = number("PR", measure::DefaultPR);
    const QString tr = number("TR", measure::DefaultTR);
    const std::optional<QString> t1 = value("T1");
    row.timeout = measure::live({pr, tr, t1 ? measure::numberIn(*t1) : std::nullopt, wait}).timeout;
    row.described = !exiting();
    return row.described;
}

void LoopOverview::readPressure(int index) {
    Row& row = rows_[index];
    ++row.owed;
    QString reply = reader_.ask(row.id, QStringLiteral("P3"), row.timeout);
    if (exiting()) return;
    row.answers = !reply.isEmpty();
    if (!row.answers) {
        setCell(index, Pressure, live::NoReading);
        showState(index);
        if (reader_.recover(addressPrefixFor(row.id), main_.state().CommTimeout))
            setCell(index, Pressure, QString());
        return;
    }
    --row.owed;
    row.answeredAt = comm_->SecondsNow();
    setCell(index, Pressure, live::reading(ReplyNumber(reply), live::High));
}

void LoopOverview::heard(const QString& line) {
    if (!line.endsWith(CRLF)) return;
    for (int i = 0; i < int(rows_.size()); ++i) {
        Row& row = rows_[i];
        if (!answers(line, addressPrefixFor(row.id))) continue;
        // The late answer of a reading it was asked for, or one it sends of its own accord.
        if (row.owed > 0) {
            --row.owed;
        } else if (!row.streams) {
            row.streams = true;
            showState(i);
        }
        return;
    }
}

void LoopOverview::setCell(int row, Column column, const QString& text) {
    QTableWidgetItem* item = table_->item(row, column);
    if (item->text() != text) item->setText(text);
}

void LoopOverview::showState(int index) {
    const Row& row = rows_[index];
    setCell(index, State, row.streams ? Streaming : row.answers ? Answering : Silent);
}

void LoopOverview::showAges() {
    const double now = comm_->SecondsNow();
    for (int i = 0; i < int(rows_.size()); ++i) {
        const double at = rows_[i].answeredAt;
        setCell(i, Age, at < 0 ? Unknown : QString::number(now - at, 'f', 1));
    }
}

void LoopOverview::closeEvent(QCloseEvent* event) {
    // Closing the frame is Exit: the reading ends within one poll and the menu item closes the
    // window.
    if (running_) {
        exit_ = Yes;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void installLoopOverview(PageHost& host) {
    host.onAction(QStringLiteral("mnuLoopOverview"), [&host] {
        QString chosen;
        const bool ran = runLiveMenuItem(host, [&host, &chosen] {
            LoopOverview window(host);
            window.run();
            chosen = window.chosen();
        });
        if (ran && !chosen.isEmpty()) host.chooseInstrument(chosen);
    });
}

} // namespace cvi
