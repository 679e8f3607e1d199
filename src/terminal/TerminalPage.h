#pragma once

#include "TerminalModel.h"

#include <QList>
#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableView;

namespace cvi {

class PageHost;

// The "&Terminal" page: while it is shown it holds the main window's port open and lists every
// line that arrives, asked for or not; Send writes the typed command line as it stands, Save
// writes the list as a transcript file.
class TerminalPage : public QWidget {
    Q_OBJECT
public:
    explicit TerminalPage(PageHost& host);

    TerminalModel& model() { return model_; }
    // True while the listening loop runs.
    bool listening() const { return listening_; }

    // The page was chosen: hint, focus, menus off, the port opened, listening started.
    void enter();
    // Send (and Enter in txtCmd): a command row, then the text and CR LF to the port.
    void send();
    void clear();
    void save();
    // The listening loop: returns once another page is chosen, the port fails or closes (closing
    // the main window closes it).
    void listen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Reply rows waiting to join the list: a busy loop sends more than a hundred lines a second,
    // and an insertion and a repaint for each would starve the reader.
    void addReply(const QString& line);
    void flush();
    void portFailed(const QString& why);
    bool shown() const;
    void fitColumns();

    PageHost& main_;
    TerminalModel model_;
    QLineEdit* command_ = nullptr;
    QPushButton* send_ = nullptr;
    QCheckBox* stamp_ = nullptr;
    QTableView* list_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* save_ = nullptr;

    QList<TerminalRow> pending_;
    double flushedAt_ = 0.0;
    // The main window's page, as its changes tell it.
    int page_ = -1;
    bool listening_ = false;
    // Why the port is not open while the page is shown (the open failed, or the device was lost
    // and reported); empty while it is open.
    QString portTrouble_;
};

} // namespace cvi
