#include "TerminalPage.h"

#include "FileFault.h"
#include "Frames.h"
#include "PageHost.h"
#include "Terminal.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace cvi {

namespace {
const QString Error = QStringLiteral("Error");
const QString NoResponse = QStringLiteral("No response");
// Reply rows join the list together at most every 100 ms or every 500 rows.
constexpr double FlushInterval = 0.1;
constexpr int FlushRows = 500;
// The longest the idle loop sleeps in the event loop before it looks at its conditions again;
// characters, clicks and page changes wake it earlier.
constexpr double IdleWait = 0.25;
// A line of a reading takes some 8 ms at 19200 baud.
constexpr double GatherWait = 0.002;
constexpr int GatherPasses = 4;

// The system's general date: its short date and its time with seconds.
QString generalDate(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    QString time = locale.timeFormat(QLocale::LongFormat);
    time.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$")));
    return locale.toString(when, locale.dateFormat(QLocale::ShortFormat) + ' ' + time);
}
} // namespace

void installTerminalPage(PageHost& host) {
    auto* page = new TerminalPage(host);
    host.setPage(PageHost::Terminal, page);
}

TerminalPage::TerminalPage(PageHost& host) : main_(host) {
    setObjectName(QStringLiteral("pageTerminal"));

    auto* commandFrame = new QGroupBox(QStringLiteral("Command"), this);
    commandFrame->setObjectName(QStringLiteral("fraCommand"));
    command_ = new QLineEdit(commandFrame);
    command_->setObjectName(QStringLiteral("txtCmd"));
    command_->installEventFilter(this);
    send_ = new QPushButton(QStringLiteral("&Send"), commandFrame);
    send_->setObjectName(QStringLiteral("Send"));
    auto* commandRow = new QHBoxLayout(commandFrame);
    commandRow->addWidget(command_, 1);
    commandRow->addWidget(send_);

    auto* responseFrame = new QGroupBox(QStringLiteral("Response"), this);
    responseFrame->setObjectName(QStringLiteral("fraResponse"));
    stamp_ = new QCheckBox(QStringLiteral("&Time Stamp"), responseFrame);
    stamp_->setObjectName(QStringLiteral("chkTimeStamp"));
    list_ = new QTableView(responseFrame);
    list_->setObjectName(QStringLiteral("lstresponse"));
    list_->setModel(&model_);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(false);
    list_->setTabKeyNavigation(false); // Tab moves on to Clear, not from cell to cell
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    // Fixed row heights: the view never measures its hundreds of thousands of rows.
    list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->viewport()->installEventFilter(this);
    auto* responseColumn = new QVBoxLayout(responseFrame);
    responseColumn->addWidget(stamp_);
    responseColumn->addWidget(list_, 1);

    clear_ = new QPushButton(QStringLiteral("&Clear"), this);
    clear_->setObjectName(QStringLiteral("cmdClear"));
    save_ = new QPushButton(QStringLiteral("S&ave"), this);
    save_->setObjectName(QStringLiteral("cmdSave"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(clear_);
    buttons->addWidget(save_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(commandFrame);
    layout->addWidget(responseFrame, 1);
    layout->addLayout(buttons);

    connect(send_, &QPushButton::clicked, this, &TerminalPage::send);
    connect(clear_, &QPushButton::clicked, this, &TerminalPage::clear);
    connect(save_, &QPushButton::clicked, this, &TerminalPage::save);
    connect(&main_, &PageHost::pageChanged, this, [this](int index) {
        page_ = index;
        if (index == PageHost::Terminal) enter();
    });
}

bool TerminalPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == command_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) send();
    } else if (watched == list_->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QWidget::eventFilter(watched, event);
}

void TerminalPage::fitColumns() {
    list_->setColumnWidth(0, list_->viewport()->width() / 3);
}

bool TerminalPage::shown() const {
    return page_ == PageHost::Terminal;
}

void TerminalPage::enter() {
    main_.setLeftMessage(QStringLiteral("Enter a command, click on the send button!"));
    command_->setFocus();
    main_.setMenusEnabled(false);
    portTrouble_.clear();
    try {
        main_.link().OpenPort(main_.state().Link);
    } catch (const PortError& e) {
        // Nothing to listen to; Send tells the operator why.
        portTrouble_ = QStringLiteral("Communication Error: ") + e.text();
        return;
    }
    // The loop starts from the event loop, once every other handler of this page change has run.
    // A loop still running from an earlier visit (it waits inside the event loop) simply goes on.
    if (!listening_) QTimer::singleShot(0, this, [this] { listen(); });
}

void TerminalPage::listen() {
    if (listening_) return;
    listening_ = true;
    Link& link = main_.link();
    Runtime& runtime = main_.runtime();
    flushedAt_ = runtime.now();
    // A vanished device closes the port under the loop: it is told before the loop ends.
    while (shown() && (link.PortOpen() || link.port().isLost())) {
        try {
            link.checkNotLost();
            if (link.InBufferCount() > 0) {
                // A line still arriving gathers for a moment first, without running the
                // interface. A line read whole from what waits cannot be interrupted by a click,
                // so Save is switched off (and repainted twice) only around a read that has to
                // wait for the rest of its line.
                for (int i = 0; i < GatherPasses && !link.LineWaiting(); ++i)
                    runtime.sleep(GatherWait);
                if (!link.LineWaiting()) save_->setEnabled(false);
                const std::optional<QString> line = link.ReadTerminalInput(main_.state().ReadTimeout);
                addReply(line && !line->isEmpty() ? *line : NoResponse);
                save_->setEnabled(true);
                if (pending_.size() >= FlushRows || runtime.now() - flushedAt_ >= FlushInterval) flush();
                runtime.pump();
            } else {
                // Between two lines: rows still waiting join the list when their time has come.
                const double due = flushedAt_ + FlushInterval - runtime.now();
                if (!pending_.isEmpty() && due <= 0) flush();
                runtime.pump(pending_.isEmpty() ? IdleWait : std::max(due, 0.001));
            }
        } catch (const PortError& e) {
            save_->setEnabled(true);
            // A port closed under the reader because the page was left is no fault.
            if (e.kind() == PortError::Kind::NotOpen && !link.port().isLost()) continue;
            flush();
            portFailed(e.text());
            break;
        }
    }
    flush();
    save_->setEnabled(true);
    listening_ = false;
}

void TerminalPage::portFailed(const QString& why) {
    main_.link().ClosePort();
    if (!portTrouble_.isEmpty()) return; // told once already
    portTrouble_ = why;
    main_.op().message(why, Error, Operator::Icon::Exclamation);
}

void TerminalPage::addReply(const QString& line) {
    const QString stamp = stamp_->isChecked() ? terminalStamp(QDateTime::currentDateTime()) : QString();
    pending_.append({stamp, line});
}

void TerminalPage::flush() {
    flushedAt_ = main_.runtime().now();
    if (pending_.isEmpty()) return;
    model_.append(pending_);
    pending_.clear();
    list_->scrollToBottom();
}

void TerminalPage::send() {
    const QString text = command_->text();
    flush();
    model_.append({{text, QString()}});
    list_->scrollToBottom();
    Link& link = main_.link();
    if (!link.PortOpen()) {
        main_.op().message(portTrouble_.isEmpty() ? QStringLiteral("The port is not open.") : portTrouble_,
                           Error, Operator::Icon::Exclamation);
        return;
    }
    try {
        link.Output(text + CRLF);
    } catch (const PortError& e) {
        portFailed(e.text());
    }
    emit main_.samplingSendEnabled();
}

void TerminalPage::clear() {
    pending_.clear();
    model_.clear();
}

void TerminalPage::save() {
    const QString name =
        main_.op().saveFileName(QStringLiteral("Please enter a file name"),
                                QStringLiteral("Text Files (*.txt)|*.txt"), main_.state().ProgramFolder);
    if (name.isEmpty()) return;
    flush();
    // The old file is replaced only once every row is written; a failure leaves it as it was.
    const QByteArray text = terminalTranscript(model_, generalDate(QDateTime::currentDateTime()));
    QString why;
    if (!replaceFile(name, text, &why)) {
        main_.op().message(QStringLiteral("The data could not be saved in %1: %2").arg(name, why), Error,
                           Operator::Icon::Information);
        return;
    }
    main_.op().message(QStringLiteral("The data are in ") + name, QStringLiteral("Info"),
                       Operator::Icon::Information);
}

} // namespace cvi
