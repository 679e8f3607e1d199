#pragma once

#include "Link.h"
#include "LiveReader.h"

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

class QTableWidget;
class QTimer;

namespace cvi {

class PageHost;

// "Loop Overview": every instrument found at start-up in one table, read in turn at the line's
// pace on the window's own serial object until Exit, under the live windows' reading rules.
// An instrument's serial number, version, unit, mode and measurement time-out are read at its
// first turn (and again at later turns for as long as it has not answered them), then its
// pressure at every turn. Beside them: how long ago it last answered, and whether it answers, is
// silent or streams (its mode is a continuous output, or it sent readings nobody asked for).
// Double-clicking a row ends the reading; the menu item then chooses that instrument on the
// pages.
class LoopOverview : public QWidget {
    Q_OBJECT
public:
    enum Column { Id, SerialNumber, Version, Unit, Pressure, Age, State, ColumnCount };
    static const QString Answering;
    static const QString Silent;
    static const QString Streaming;

    explicit LoopOverview(PageHost& host);
    ~LoopOverview() override;

    // Shows the window and reads the instruments in turn until Exit or a double-click. Throws
    // PortError.
    void run();
    // The instrument whose row was double-clicked; empty when the window ended otherwise.
    const QString& chosen() const { return chosen_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Row {
        QString id;
        bool described = false;
        double timeout = 0.0;     // what one of its pressure readings may take
        double answeredAt = -1.0; // its last answer, on the runtime's clock
        int owed = 0;             // pressure readings asked of it that have not come
        bool answers = false;     // its last turn got an answer
        bool streams = false;     // a continuous output mode, or readings sent unasked
    };

    // The instrument's description; false when it did not answer its serial number (or Exit).
    bool describe(int index);
    void readPressure(int index);
    // A whole line the reader passed over: a reading it owed, or one it sent unasked.
    void heard(const QString& line);
    void setCell(int row, Column column, const QString& text);
    void showState(int index);
    void showAges();
    bool exiting() const { return !exit_.isEmpty(); }

    PageHost& main_;
    std::unique_ptr<Link> comm_; // Comm1
    LiveReader reader_;
    QTableWidget* table_ = nullptr;
    QTimer* ages_ = nullptr;
    std::vector<Row> rows_;
    QString exit_;
    QString chosen_;
    bool running_ = false;
};

// mnuLoopOverview: runs the Loop Overview; a row double-clicked there chooses its instrument.
void installLoopOverview(PageHost& host);

} // namespace cvi
