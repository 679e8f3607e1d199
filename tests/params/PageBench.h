#pragma once

#include "ConfigurationPage.h"
#include "EditFlow.h"
#include "MainWindow.h"
#include "Params.h"
#include "Pointer.h"
#include "ScriptedPort.h"
#include "SimBench.h"
#include "Tables.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QMap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <array>
#include <memory>

namespace cvi::test {

// Lists written with "|" between their items.
inline QStringList items(const QString& list) {
    return list.isEmpty() ? QStringList() : list.split('|');
}

// The main window with the parameter pages, on the simulated loop (or on a port that answers each
// command from a script, for replies the loop cannot make), on simulated time.
struct PageBench : SimBench {
    std::unique_ptr<MainWindow> main;
    ScriptedPort* scripted = nullptr;
    QMap<QString, QString> script; // see replyWith

    enum class Line { Loop, Script };

    explicit PageBench(const sim::LoopConfig& config = sim::LoopConfig::demo(), Line line = Line::Loop)
        : SimBench(config) {
        setEndProgramHook([] {}); // closing the window must not end the test
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

    // A loop whose instrument 01 holds these parameters ("PR=238|TR=952") over its defaults.
    static sim::LoopConfig withParams(const QString& params) {
        sim::LoopConfig c = sim::LoopConfig::numbered(1);
        for (const QString& p : items(params))
            c.instruments[0].params.insert(p.section('=', 0, 0), p.section('=', 1));
        return c;
    }
    // Every instrument turns "silent" or ends its lines in LF only ("missingCR").
    void breakLoop(const QString& fault) {
        for (int i = 0; i < loop->size(); ++i) {
            loop->at(i).faults().silent = fault == "silent";
            loop->at(i).faults().missingCR = fault == "missingCR";
        }
    }

    // Replies by command body, "PR>*0001PR=238|EW*0100C1=1.5>*0001C1=1.5>1.2": each line (CR LF
    // added) comes 0.02 s after its command, plus the seconds given. No entry, no answer.
    void replyWith(const QString& replies) {
        script.clear();
        for (const QString& r : items(replies))
            script.insert(r.section('>', 0, 0), r.section('>', 1));
    }
    void answer(const QByteArray& bytes, double t) {
        const auto m = QRegularExpression("^\\*+.{4}(.*)\r\n$").match(QString::fromLatin1(bytes));
        const QString reply = m.hasMatch() ? script.value(m.captured(1)) : QString();
        if (!reply.isEmpty())
            scripted->arrive(t + 0.02 + reply.section('>', 1).toDouble(),
                             reply.section('>', 0, 0).toLatin1() + "\r\n", 0.001);
    }

    template <class T> T* w(const QString& name) const {
        T* found = main->findChild<T*>(name);
        if (!found) qWarning("no control %s", qPrintable(name));
        return found;
    }
    QString text(const QString& name) const { return w<QLabel>(name)->text(); }
    // The "box=text|box=text" pairs that do not hold, as "box=actual"; empty when all hold.
    QString mismatches(const QString& pairs) const {
        QStringList wrong;
        for (const QString& pair : items(pairs)) {
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
    // Value boxes show these texts ("box=text|..."), and the instrument record holds them.
    void setTexts(const QString& pairs) {
        for (const QString& pair : items(pairs)) {
            if (auto* box = qobject_cast<ValueBox*>(w<QLabel>(pair.section('=', 0, 0))))
                box->show(pair.section('=', 1));
            else
                w<QLabel>(pair.section('=', 0, 0))->setText(pair.section('=', 1));
        }
    }
    // One character per box, "1" shown and "0" hidden; setShown switches them that way.
    QString shownFlags(const QStringList& boxes) const {
        QString flags;
        for (const QString& box : boxes)
            flags += w<QWidget>(box)->isHidden() ? '0' : '1';
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
    // What the operator was told, "title: text" each, "|" between them.
    QString told() const {
        QStringList out;
        for (const auto& m : op.messages)
            out << m.title + ": " + m.text;
        return out.join('|');
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
    // The next dialog: the operator clicks `control`, then OK.
    void answerDialog(const QString& control) {
        op.dialogs.enqueue([control](QDialog& d) {
            d.findChild<QAbstractButton*>(control)->click();
            d.findChild<QAbstractButton*>("CmdOK")->click();
            return int(QDialog::Accepted);
        });
    }

    // Instrument `index` chosen and its page read; then the wire and the messages cleared.
    void startConfiguration(int index = 0) { start("cboConfiguration", "cmdConfigurationStart", index); }
    void startCalibration(int index = 0) { start("cboCalibration", "cmdCalibrationStart", index); }
    void start(const QString& list, const QString& button, int index) {
        choose(list, index);
        press(button);
        wire().clear();
        op.messages.clear();
    }
    // What the program wrote, on the loop or to the script.
    QStringList lines() {
        if (!scripted) return wire().writtenTexts();
        QStringList out;
        for (const auto& write : scripted->writes)
            out << QString::fromLatin1(write.bytes);
        return out;
    }
};

// The lines as written, from "*|**0100PR|...": CR LF after each but a lone wake-up star.
inline QStringList written(const QString& lines) {
    QStringList out;
    for (const QString& l : items(lines))
        out << (l == "*" ? l : l + "\r\n");
    return out;
}

// The lines a page writes for reading "VR|BL|..." of instrument `id`, one "**" line each.
inline QStringList readLines(const QString& id, const QString& mnemonics) {
    QStringList out;
    for (const QString& m : items(mnemonics))
        out << "**" + id + "00" + m + "\r\n";
    return out;
}

} // namespace cvi::test
