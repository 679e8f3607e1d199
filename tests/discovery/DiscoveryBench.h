#pragma once

#include "Discovery.h"
#include "MainWindow.h"
#include "ScriptedPort.h"
#include "SettingsFile.h"
#include "SimBench.h"
#include "SystemCheck.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace cvi::test {

// The main window on a simulated loop before any detection, with the five instrument lists in
// place and loop discovery installed. cvi.ini goes to a temporary folder.
struct DiscoveryBench {
    SimBench b;
    QTemporaryDir folder;
    std::unique_ptr<MainWindow> main;
    QComboBox* lists[5] = {};

    explicit DiscoveryBench(const sim::LoopConfig& config = sim::LoopConfig::demo()) : b(config) {
        AppState& s = b.state;
        s.ProgramFolder = folder.path();
        s.IDList.clear();
        s.Link = LinkSettings{s.Link.port};
        s.InstrumentCount = 0;
        s.CommTimeout = s.ReadTimeout = s.MeasureTimeout = 0;
        main = std::make_unique<MainWindow>(s, b.runtime, b.op, b.ports);
        for (int i = 0; i < 5; ++i)
            main->registerIdList(i, lists[i] = new QComboBox(main->page(i)));
        installDiscovery(main->host());
    }

    // The next dialog shown modally is handed to `handle` and ends as its buttons leave it.
    void onDialog(const std::function<void(QDialog&)>& handle) {
        b.op.dialogs.enqueue([handle](QDialog& d) {
            handle(d);
            return d.result();
        });
    }
    // Ports with nothing on the line, each handed to `prepare` first.
    void scriptedPorts(const std::function<void(ScriptedPort&)>& prepare = {}) {
        b.ports.maker = [this, prepare](const QString&) -> std::unique_ptr<SerialPort> {
            auto port = std::make_unique<ScriptedPort>(b.clock);
            if (prepare) prepare(*port);
            return port;
        };
    }
    void writeIni(const QByteArray& content) {
        QFile f(settings_file::path(folder.path()));
        if (f.open(QIODevice::WriteOnly)) f.write(content);
    }
    QByteArray readIni(const QString& where = {}) {
        QFile f(settings_file::path(where.isEmpty() ? folder.path() : where));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The messages shown: title, [!] for the exclamation icon, text.
    QStringList messages() const {
        QStringList out;
        for (const auto& m : b.op.messages)
            out << m.title + (m.icon == Operator::Icon::Exclamation ? " [!] " : " [ ] ") + m.text;
        return out;
    }
    AppState& state() { return b.state; }
    // Baud rate, parity and data bits as the program holds them: "9600,N,8".
    QString linkText() { return state().BaudRate() + "," + state().Parity() + "," + state().DataBits(); }
    PageHost& host() { return main->host(); }
    QLabel* left() { return main->leftMessage(); }
    QStringList listItems(int place) {
        QStringList out;
        for (int i = 0; i < lists[place]->count(); ++i)
            out << lists[place]->itemText(i);
        return out;
    }
};

template <typename T = QWidget> T* child(QObject& parent, const QString& name) {
    return parent.findChild<T*>(name);
}
inline void click(QObject& parent, const QString& name) {
    auto* button = child<QAbstractButton>(parent, name);
    Q_ASSERT(button);
    button->click();
}
// The texts of the labels and boxes named (separated by spaces), joined by "|".
inline QString text(QObject& parent, const QString& names) {
    QStringList out;
    for (const QString& name : names.split(' ')) {
        const QObject* w = child<QObject>(parent, name);
        out << (!w ? "<missing " + name + ">"
                   : w->property(w->inherits("QPlainTextEdit") ? "plainText" : "text").toString());
    }
    return out.join('|');
}
// The Startup dialog's controls as the operator finds them: those not hidden, "-" after greyed-out ones.
inline QString controls(QWidget& dialog) {
    QStringList out;
    for (const char* name : {"LstPortID", "txtReport", "cmdStart", "CmdOK", "cmdProblemOK", "CmdCancel"})
        if (QWidget* w = child(dialog, name); w && !w->isHidden())
            out << name + QString(w->isEnabled() ? "" : "-");
    return out.join(' ');
}
inline sim::LoopConfig numbered(int n, int baud = 9600, char parity = 'N') {
    return sim::LoopConfig::numbered(n, baud, parity);
}

} // namespace cvi::test
