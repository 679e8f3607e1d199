#pragma once

#include "PageFrame.h"
#include "Transactions.h"

#include <QList>
#include <QWidget>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace cvi {

class PageHost;
class ResponseLog;

// Puts the page in its place in the main window and registers its instrument list.
void installSamplingPage(PageHost& host);

// The "Sam&pling" page: one instrument's serial number and software version, its sampling
// commands as option buttons on three tabs, and Send for a single reading, a held sample or a
// continuous reading that runs until Stop, an overflow of the receive buffer or silence after
// corrupted data. Replies go to the response box, their number to lblValue.
class SamplingPage : public QWidget {
    Q_OBJECT
public:
    explicit SamplingPage(PageHost& host);

    QComboBox* idList() const { return ids_; }
    // Deselects every sampling option.
    void CleanOptions();
    // The continuous flag, "Yes" or "No": set by the option clicks and Send, "No" after Stop.
    const QString& continuousFlag() const { return continuous_; }

    // cboSampling: an instrument was chosen.
    void selectInstrument();
    // cmdSamplingStart: serial number, software version and the measurement time-out.
    void start();
    // cmdSend: the command in lblCommandBox.
    void send();
    // cmdStop: the continuous reading ends at the start of its next pass.
    void stop();

private:
    // The four option groups: Pressure P1 to P7, Temperature Q1 to Q6, Analog, the DB/DS buttons.
    enum Group { Pressure, Temperature, Analog, Dump, GroupCount };
    struct Option;

    void build();
    QRadioButton* addOption(QWidget* tab, const Option& option);
    void optionClicked(const Option& option, QRadioButton* button);
    void setOptionGroupsEnabled(bool enabled);
    void uncheck(QRadioButton* button);
    void reset();
    void showInformation();
    void clearInformation();

    void readOnce(const Channel& channel, const QString& commandText);
    void readContinuously(const Channel& channel, const QString& commandText);
    // The controls as a reading that has ended leaves them: Send on, Stop off, options and menus on.
    void endReading();
    void measureTimeout(const Channel& channel);

    PageHost& main_;
    PageObserver observer_;
    QComboBox* ids_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    QLabel* command_ = nullptr;
    QLabel* value_ = nullptr;
    QLabel* serial_ = nullptr;
    QLabel* version_ = nullptr;
    ResponseLog* log_ = nullptr;
    QButtonGroup* options_ = nullptr;
    QList<QRadioButton*> groups_[GroupCount];

    QString continuous_ = QStringLiteral("No");
    // A continuous reading holds the port; the page it runs on was left.
    bool reading_ = false;
    bool pageLeft_ = false;
    // How the running continuous reading stops at once for a window that wants the port.
    std::function<void()> handOver_;
};

} // namespace cvi
