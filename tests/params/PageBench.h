#pragma once

#include "ConfigurationPage.h"
#include "EditFlow.h"
#include "Frames.h"
#include "MainWindow.h"
#include "Params.h"
#include "Pointer.h"
#include "ScriptedPort.h"
#include "SimBench.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace cvi::test {

// The main window with the parameter pages, on the simulated loop (or, for replies the loop
// cannot make, on a port that answers each command from a script), on simulated time.
struct PageBench : SimBench {
    std::unique_ptr<MainWindow> main;
    ScriptedPort* scripted = nullptr;
    // Scripted replies by command body ("PR", "EW*0100C1=1.5"): the whole line the instrument
    // sends back. A body without an entry gets no answer.
    QMap<QString, QByteArray> script;

    enum class Line { Loop, Script };

    explicit PageBench(const sim::LoopConfig& config = sim::LoopConfig::demo(), Line line = Line::Loop)
        : SimBench(config) {
        if (line == Line::Script) {
            ports.maker = [this](const QString&) -> std::unique_ptr<SerialPort> {
                auto port = std::make_unique<ScriptedPort>(clock);
                if (!scripted) {
                    scripted = port.get();
                    scripted->onWrite = [this](const QByteArray& bytes, double t) { answer(bytes, t); };
                }
                return port;
            };
        }
        main = std::make_unique<MainWindow>(state, runtime, op, ports);
        installParameterPages(main->host());
        if (line == Line::Script) { // the main window's port object is made at its first open
            main->link().OpenPort(state.Link);
            main->link().ClosePort();
        }
        main->RefreshIdLists();
        wire().clear();
    }
    ~PageBench() { setDialogOpener({}); }

    // A loop whose instrument 01 holds these parameters over its defaults.
    static sim::LoopConfig withParams(const QMap<QString, QString>& params) {
        sim::LoopConfig c = sim::LoopConfig::numbered(1);
        c.instruments[0].params = params;
        return c;
    }
    // Every instrument of the loop turns "silent" or answers with lines too short to hold a value
    // ("missingCR": the line ends in LF only).
    void breakLoop(const QString& fault) {
        for (int i = 0; i < loop->size(); ++i) {
            loop->at(i).faults().silent = fault == "silent";
            loop->at(i).faults().missingCR = fault == "missingCR";
        }
    }

    void answer(const QByteArray& bytes, double t) {
        QByteArray body = bytes;
        while (body.startsWith('*'))
            body.remove(0, 1);
        if (body.size() < 4 || !body.endsWith("\r\n")) return;
        body = body.mid(4, body.size() - 6);
        const auto it = script.constFind(QString::fromLatin1(body));
        if (it != script.cend()) scripted->arrive(t + 0.02, *it, 0.001);
    }

    template <class T> T* w(const QString& name) const {
        T* found = main->findChild<T*>(name);
        if (!found) qWarning("no control %s", qPrintable(name));
        return found;
    }
    QString text(const QString& name) const { return w<QLabel>(name)->text(); }
    // The "box=text" pairs that do not hold, as "box=actual"; empty when all hold.
    QString mismatches(const QStringList& pairs) const {
        QStringList wrong;
        for (const QString& pair : pairs) {
            const QString box = pair.section('=', 0, 0);
            if (text(box) != pair.section('=', 1)) wrong << box + "=" + text(box);
        }
        return wrong.join(", ");
    }
    PageHost& host() { return main->host(); }
    // The Configuration page's controls, as its value boxes' dialogs get them.
    PageContext configuration() const {
        return static_cast<ConfigurationPage*>(main->page(MainWindow::PageConfiguration))->context();
    }
    // Value boxes show these texts (and the instrument record holds them, as after a read).
    void setTexts(const QStringList& pairs) {
        for (const QString& pair : pairs) {
            if (auto* box = qobject_cast<ValueBox*>(w<QLabel>(pair.section('=', 0, 0))))
                box->show(pair.section('=', 1));
            else
                w<QLabel>(pair.section('=', 0, 0))->setText(pair.section('=', 1));
        }
    }
    bool shown(const QString& name) const { return !w<QWidget>(name)->isHidden(); }
    // One character per box, "1" shown and "0" hidden; setShown switches them that way.
    QString shownFlags(const QStringList& boxes) const {
        QString flags;
        for (const QString& box : boxes)
            flags += shown(box) ? '1' : '0';
        return flags;
    }
    void setShown(const QStringList& boxes, const QString& flags) {
        for (int i = 0; i < boxes.size(); ++i)
            w<QWidget>(boxes[i])->setHidden(flags[i] == '0');
    }
    QString left() const { return text(QStringLiteral("PnlLeftMessage")); }
    QString middle() const { return text(QStringLiteral("PnlMiddleMessage")); }
    QString log(const QString& box = QStringLiteral("txtResponseBox")) const {
        return w<QPlainTextEdit>(box)->toPlainText();
    }
    bool enabled(const QString& name) const { return w<QWidget>(name)->isEnabled(); }
    bool actionEnabled(const QString& name) const { return main->action(name)->isEnabled(); }

    void choose(const QString& list, int index) { w<QComboBox>(list)->setCurrentIndex(index); }
    void press(const QString& button) { w<QPushButton>(button)->click(); }
    void click(const QString& box) { QTest::mouseClick(w<QWidget>(box), Qt::LeftButton); }
    // The mouse moves over `name`; returns the hint panel's text then.
    QString hover(const QString& name) {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(w<QWidget>(name), &enter);
        return left();
    }
    // The operator types `answer` into the next prompt and clicks `box`.
    void edit(const QString& box, const QString& answer) {
        op.answers.enqueue(answer);
        click(box);
    }
    // The next dialog: the operator clicks `control` (none: keeps what is selected) and `press`.
    void answerDialog(const QString& control, const QString& press = QStringLiteral("CmdOK")) {
        op.dialogs.enqueue([control, press](QDialog& d) {
            if (!control.isEmpty()) d.findChild<QAbstractButton*>(control)->click();
            d.findChild<QAbstractButton*>(press)->click();
            return int(QDialog::Accepted);
        });
    }

    // Instrument `index` chosen and its Configuration (or Calibration) page read.
    void startConfiguration(int index = 0) { start("cboConfiguration", "cmdConfigurationStart", index); }
    void startCalibration(int index = 0) { start("cboCalibration", "cmdCalibrationStart", index); }
    void start(const QString& list, const QString& button, int index) {
        choose(list, index);
        press(button);
        wire().clear();
        op.messages.clear();
    }
    QStringList lines() { return wire().writtenTexts(); }
    double written(const QString& line) { return wire().timeOfWrite(line.toLatin1()); }
};

inline QString checkedOption(const QDialog& d) {
    for (auto* option : d.findChildren<QRadioButton*>())
        if (option->isChecked()) return option->objectName();
    return {};
}

// Adds text columns (names must outlive the test) and rows; the first entry names the row.
// Lists are written with "|" between their items.
inline void table(std::initializer_list<const char*> columns, std::initializer_list<QStringList> rows) {
    for (const char* c : columns)
        QTest::addColumn<QString>(c);
    for (const QStringList& r : rows) {
        QTestData& row = QTest::newRow(qPrintable(r[0]));
        for (int i = 1; i < r.size(); ++i)
            row << r[i];
    }
}
inline QStringList items(const QString& list) {
    return list.isEmpty() ? QStringList() : list.split('|');
}

// The lines a page writes for reading `mnemonics` of instrument `id`, one "**" line each.
inline QStringList readLines(const QString& id, const QStringList& mnemonics) {
    QStringList out;
    for (const QString& m : mnemonics)
        out << "**" + id + "00" + m + "\r\n";
    return out;
}

} // namespace cvi::test
