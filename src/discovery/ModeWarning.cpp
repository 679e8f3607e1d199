#include "ModeWarning.h"

#include "Centre.h"
#include "Detection.h"
#include "Frames.h"
#include "ReadOnlyText.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace cvi {

frmModeWarning::frmModeWarning(AppState& state, Runtime& runtime, std::unique_ptr<Link> comm1,
                               const LinkSettings& settings, Hooks hooks, QWidget* parent)
    : QDialog(parent), state_(state), runtime_(runtime), comm1_(std::move(comm1)), settings_(settings),
      hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("frmModeWarning"));
    setWindowTitle(QStringLiteral("Warning: Unexpected Data"));
    if (comm1_) comm1_->setObjectName(QStringLiteral("Comm1"));

    auto* layout = new QVBoxLayout(this);
    auto* cause = new QGroupBox(QStringLiteral("Cause of the warning"), this);
    cause->setObjectName(QStringLiteral("SSFrame1"));
    auto* causeLayout = new QVBoxLayout(cause);
    txtWarning_ = new QPlainTextEdit(cause);
    txtWarning_->setObjectName(QStringLiteral("txtWarning"));
    txtWarning_->setReadOnly(true);
    txtWarning_->installEventFilter(new CopyOnlyKeys(txtWarning_));
    txtWarning_->setMinimumSize(460, 110);
    causeLayout->addWidget(txtWarning_);
    layout->addWidget(cause);

    auto* options = new QGroupBox(QStringLiteral("Your Options"), this);
    options->setObjectName(QStringLiteral("SSFrame2"));
    auto* grid = new QGridLayout(options);
    const char* const names[3][2] = {
        {"lblExit", "CmdExit"}, {"lblMD0", "cmdMD0Accept"}, {"lblMD1", "cmdMD1Accept"}};
    const char* const captions[3][2] = {{"You may exit from the program...", "&Exit"},
                                        {"Set MD=0 (devices without display)", "&Accept"},
                                        {"Set MD=1 (devices with display activated)", "&Accept"}};
    for (int i = 0; i < 3; ++i) {
        labels_[i] = new QLabel(QString::fromLatin1(captions[i][0]), options);
        labels_[i]->setObjectName(QString::fromLatin1(names[i][0]));
        buttons_[i] = new QPushButton(QString::fromLatin1(captions[i][1]), options);
        buttons_[i]->setObjectName(QString::fromLatin1(names[i][1]));
        grid->addWidget(labels_[i], i, 0);
        grid->addWidget(buttons_[i], i, 1);
        for (QWidget* w : {static_cast<QWidget*>(labels_[i]), static_cast<QWidget*>(buttons_[i])}) {
            w->setMouseTracking(true);
            w->installEventFilter(this);
        }
    }
    layout->addWidget(options);
    // Enter quietens the streaming instruments with the first of the two modes; Escape goes on
    // without changing them.
    buttons_[1]->setDefault(true);

    connect(buttons_[0], &QPushButton::clicked, this, [this] {
        endProgram();
        // Only reached where ending the program is intercepted.
        done(QDialog::Rejected);
    });
    connect(buttons_[1], &QPushButton::clicked, this, [this] { acceptMode('0'); });
    connect(buttons_[2], &QPushButton::clicked, this, [this] { acceptMode('1'); });

    txtWarning_->setPlainText(warningText(state_.ModeList));
}

frmModeWarning::~frmModeWarning() {
    if (comm1_) comm1_->ClosePort();
}

QString frmModeWarning::warningText(const QString& modeList) {
    QString text = QStringLiteral("Corvanel Interactive detected unexpected data !...") + CRLF;
    text += QStringLiteral("The mode (MD) parameter(s) for the instrument(s) in continuous mode; ");
    for (int i = 0; i + 3 <= modeList.size(); i += 3)
        text += QStringLiteral("ID=") + modeList.mid(i, 2) + QStringLiteral("-->MD=") +
                modeList.mid(i + 2, 1) + QStringLiteral("  ");
    text += CRLF + QStringLiteral(" To use CVI reliably, you should choose one of the options below.");
    return text;
}

void frmModeWarning::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(*this, state_);
    }
}

bool frmModeWarning::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Enter || event->type() == QEvent::MouseMove) {
        for (int i = 0; i < 3; ++i)
            if (watched == labels_[i] || watched == buttons_[i]) highlight(i);
    }
    return QDialog::eventFilter(watched, event);
}

void frmModeWarning::highlight(int option) {
    // The option under the pointer in red on white, whatever the desktop's colours; the others in
    // the desktop's own.
    const QColor red(255, 0, 0), white(255, 255, 255);
    for (int i = 0; i < 3; ++i) {
        const bool on = i == option;
        QPalette lp = QApplication::palette(labels_[i]);
        QPalette bp = QApplication::palette(buttons_[i]);
        if (on) {
            lp.setColor(QPalette::WindowText, red);
            lp.setColor(QPalette::Window, white);
            bp.setColor(QPalette::ButtonText, red);
            bp.setColor(QPalette::Button, white);
        }
        labels_[i]->setAutoFillBackground(on);
        labels_[i]->setPalette(lp);
        buttons_[i]->setPalette(bp);
    }
}

void frmModeWarning::acceptMode(char value) {
    if (hooks_.startupMessage)
        hooks_.startupMessage(QStringLiteral("Changing instrument parameters.  Please Wait !..."));
    done(QDialog::Accepted);
    runtime_.pump();
    const QString modes = state_.ModeList;
    try {
        for (int i = 0; i + 3 <= modes.size(); i += 3) {
            if (hooks_.stillWanted && !hooks_.stillWanted()) break;
            const QString id = modes.mid(i, 2);
            detection::setMode(*comm1_, settings_, id, QChar::fromLatin1(value), &state_);
        }
    } catch (...) {
        // Reported by the detection that opened this dialog, outside the dialog's own event loop.
        comm1_->ClosePort();
        failure_ = std::current_exception();
    }
}

} // namespace cvi
