#pragma once

#include "EditFlow.h"
#include "Frames.h"
#include "MainWindow.h"
#include "Params.h"
#include "ScriptedPort.h"
#include "SimBench.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QMap>
#include <QPushButton>
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
        installParameterPages(*main);
        if (line == Line::Script) {
            // The main window's port object is made at its first open.
            main->link().OpenPort();
            main->link().ClosePort();
        }
        main->RefreshIdLists();
        wire().clear();
    }
    ~PageBench() { setDialogOpener({}); }

    // A loop whose instrument 01 holds these parameters over its defaults.
    static sim::LoopConfig withParams(const QMap<QString, QString>& params, const QString& version = "5.10") {
        sim::LoopConfig c = sim::LoopConfig::numbered(1);
        c.instruments[0].params = params;
        c.instruments[0].version = version;
        return c;
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
    // The lines written on the scripted port, a lone "*" as its own entry.
    QStringList scriptedTexts() const {
        QStringList out;
        if (scripted)
            for (const auto& w : scripted->writes)
                out << QString::fromLatin1(w.bytes);
        return out;
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
            const QString actual = text(box);
            if (actual != pair.section('=', 1)) wrong << box + "=" + actual;
        }
        return wrong.join(", ");
    }
    QString left() const { return text(QStringLiteral("PnlLeftMessage")); }
    QString middle() const { return text(QStringLiteral("PnlMiddleMessage")); }
    QString log(const QString& box) const { return w<QPlainTextEdit>(box)->toPlainText(); }
    bool enabled(const QString& name) const { return w<QWidget>(name)->isEnabled(); }
    bool actionEnabled(const QString& name) const { return main->action(name)->isEnabled(); }

    void choose(const QString& list, int index) { w<QComboBox>(list)->setCurrentIndex(index); }
    void press(const QString& button) { w<QPushButton>(button)->click(); }
    void click(const QString& box) { QTest::mouseClick(w<QWidget>(box), Qt::LeftButton); }
    void hover(const QString& name) {
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(w<QWidget>(name), &enter);
    }

    // Instrument `index` chosen and its Configuration (or Calibration) page read.
    void startConfiguration(int index = 0) {
        choose(QStringLiteral("cboConfiguration"), index);
        press(QStringLiteral("cmdConfigurationStart"));
        wire().clear();
        op.messages.clear();
    }
    void startCalibration(int index = 0) {
        choose(QStringLiteral("cboCalibration"), index);
        press(QStringLiteral("cmdCalibrationStart"));
        wire().clear();
        op.messages.clear();
    }
    QStringList lines() const { return const_cast<PageBench*>(this)->wire().writtenTexts(); }
};

// One row of a data table.
template <class... Values> void row(const char* name, const Values&... values) {
    (QTest::newRow(name) << ... << values);
}

// The lines a page writes for reading `mnemonics` of instrument `id`, one "**" line each.
inline QStringList readLines(const QString& id, const QStringList& mnemonics) {
    QStringList out;
    for (const QString& m : mnemonics)
        out << "**" + id + "00" + m + "\r\n";
    return out;
}

} // namespace cvi::test
