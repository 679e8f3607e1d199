#pragma once

#include "CommsSetup.h"
#include "Link.h"
#include "LiveReader.h"
#include "ReadingLog.h"
#include "Transactions.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QGridLayout;
class QLabel;
class QPushButton;

namespace cvi {

class LiveTrend;
class PageHost;

// The live windows' display rules, kept apart from the windows.
namespace live {

inline const QString NoReading = QStringLiteral("----------");
inline const QString High = QStringLiteral("High");
inline const QString Low = QStringLiteral("Low");

// A number with "0" before a leading point: ".5" gives "0.5", "-.5" gives "-0.5".
QString leadingZero(const QString& number);
// A reading as the value panel shows it: the leading-zero fix, and at "Low" resolution one digit
// fewer (a point left at the end goes too): 14.7012 gives 14.701, 14.7 gives 14, 100 stays.
QString reading(const QString& number, const QString& resolution);
// The unit text of a UN code ("1" psi ... "8" m H2O); empty for a code without one. Code "0"
// (the user unit) is read from the instrument instead.
QString unitText(const QString& code);

} // namespace live

// A small window that keeps reading one instrument until Exit: always on top and centred, the
// instrument chosen by its ID, the measurement time-out with its spin button, the resolution
// switch, and a reading loop on the window's own serial object ("Comm1") that lets the user
// interface run on every poll. The loop runs inside run(); Exit (or closing the window's frame)
// ends it within one poll. A window of this kind adds its value panels and says what one pass
// reads. Under them every value shown goes to the trend plot and statistics and, while the
// operator records, to a CSV file; none of that touches the line.
class LiveWindow : public QWidget {
    Q_OBJECT
public:
    // `caption` is the window's caption and title panel, `promptTitle` the ID prompt's title.
    LiveWindow(PageHost& host, const QString& name, const QString& caption, const QString& promptTitle);
    ~LiveWindow() override;

    // Places and shows the window, chooses the instrument, reads the set-up and runs the loop.
    // Returns when the loop ended or the choice was given up. Throws PortError.
    void run();

    const QString& instrumentId() const { return id_; }
    const QString& resolution() const { return resolution_; }
    const QString& exitFlag() const { return exit_; }
    LiveTrend& trend() const { return *trend_; }
    bool recording() const { return recorder_.isOpen(); }

protected:
    // What the window reads once before the loop, with the port closed (the units).
    virtual void prepare() {}
    // One pass of the loop on the open port; returns false when Exit was seen.
    virtual bool pass() = 0;

    // A value panel, "----------" at first.
    QLabel* valuePanel(const QString& name);
    // A value the trend, the statistics and the recording follow, with the panel that shows its
    // unit (or, without one, a fixed unit).
    void follow(const QString& quantity, QLabel* panel, QLabel* unitPanel, const QString& unit = {});
    // Shows a reading on its panel and passes it on to the trend and the recording.
    void display(QLabel* panel, const QString& text);
    // The grid under the title, beside the ID, time-out and buttons: windows add their panels.
    QGridLayout* values() const { return values_; }

    // Writes `mnemonic`'s read line on the open port and reads the reply; the reply line, or
    // empty text when none came or Exit was pressed.
    QString ask(const QString& mnemonic, bool parameter = false);
    // A one-off read of `mnemonic` with its own open and close (and a wake-up before it).
    QString askAlone(const QString& mnemonic, bool wakeUp);
    // The reading reply reader: one whole reply line of this instrument (a data reply, or the
    // reply naming `mnemonic`), or empty text on Exit or time-out; lines that cannot be its answer
    // are passed over.
    QString readReply(const QString& mnemonic = {});
    // No reply: the panel shows "----------", a version request stops any continuous output,
    // a pause of the communication time-out, and the receive buffer emptied.
    void recover(QLabel* panel);
    // One step of a pass that reads `mnemonic`'s number into `panel`: at "Low" resolution one
    // digit fewer when `pressure`, the main window's middle message cleared by a value when
    // `clearsMessage`, the recovery without one. False when Exit was seen.
    bool readInto(const QString& mnemonic, QLabel* panel, bool pressure, bool clearsMessage);
    // The pressure unit read with UN ("Can't read the pressure unit..." in the main window when
    // nothing came), the user unit read with UM ("?" without one).
    QString pressureUnit();
    bool exiting() const { return exit_ == QStringLiteral("Yes"); }
    void closeEvent(QCloseEvent* event) override;

    PageHost& main_;
    std::unique_ptr<Link> comm_; // Comm1
    LiveReader reader_;
    QLabel* idPanel_ = nullptr;
    QLabel* timeout_ = nullptr;
    QPushButton* resolutionButton_ = nullptr;
    bool wakeUpBeforePR_ = false; // a lone "*" and 10 ms before the time-out's PR read

private:
    bool chooseInstrument();
    void measureTimeout();
    void showTimeout();
    void spin(double step);
    void toggleResolution();
    void toggleRecording();
    void startRecording();
    void stopRecording();
    Channel channel() const;

    struct Followed {
        QLabel* panel;
        QLabel* unitPanel;
        QString unit;
        QString quantity;
        int index;
    };

    QString promptTitle_;
    QGridLayout* values_ = nullptr;
    QString id_;
    QString resolution_ = live::High;
    QString exit_;
    bool running_ = false;
    LiveTrend* trend_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    std::vector<Followed> followed_;
    live::CsvRecorder recorder_;
    QString recordFolder_;
    bool recordAsked_ = false; // the save dialog waits for the end of the pass
    double opened_ = 0;
};

// The whole of a live window's menu item: the main window's menus off and its page area hidden,
// the chosen instrument kept, the window made and run, then everything put back, however the
// window ended. An error shows its description once.
void runLiveWindow(PageHost& host, const std::function<std::unique_ptr<LiveWindow>()>& make);
// The same around any window that `run` makes and runs. False when the port was busy and
// nothing ran.
bool runLiveMenuItem(PageHost& host, const std::function<void()>& run);

} // namespace cvi
