#pragma once

#include "Discovery.h"
#include "MainWindow.h"
#include "SimBench.h"
#include "SystemCheck.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
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

    // `beforeInstall` puts other pages' controls in place before discovery looks for them.
    explicit DiscoveryBench(const sim::LoopConfig& config = sim::LoopConfig::demo(),
                            const std::function<void(MainWindow&)>& beforeInstall = {})
        : b(config) {
        AppState& s = b.state;
        s.ProgramFolder = folder.path();
        s.IDList.clear();
        s.InstrumentCount = 0;
        s.BaudRate.clear();
        s.Parity.clear();
        s.DataBits.clear();
        s.CommTimeout = s.ReadTimeout = s.MeasureTimeout = 0;
        main = std::make_unique<MainWindow>(s, b.runtime, b.op, b.ports);
        const char* names[5] = {"cboSampling", "cboConfiguration", "cboCalibration", "cboSystem",
                                "cboAnalog"};
        for (int i = 0; i < 5; ++i) {
            lists[i] = new QComboBox(main->page(i));
            lists[i]->setObjectName(QString::fromLatin1(names[i]));
            main->registerIdList(i, lists[i]);
        }
        if (beforeInstall) beforeInstall(*main);
        installDiscovery(*main);
    }

    AppState& state() { return b.state; }
    QLabel* left() { return main->leftMessage(); }
    bool enabled(const char* action) { return main->action(action) && main->action(action)->isEnabled(); }
    QStringList listItems(int place) {
        QStringList out;
        for (int i = 0; i < lists[place]->count(); ++i)
            out << lists[place]->itemText(i);
        return out;
    }
};

template <typename T = QWidget> T* child(QObject& parent, const char* name) {
    return parent.findChild<T*>(QString::fromLatin1(name));
}
inline void click(QObject& parent, const char* name) {
    auto* button = child<QAbstractButton>(parent, name);
    Q_ASSERT(button);
    button->click();
}
inline QString text(QObject& parent, const char* name) {
    if (auto* label = child<QLabel>(parent, name)) return label->text();
    if (auto* edit = child<QPlainTextEdit>(parent, name)) return edit->toPlainText();
    return QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
}
// A report line as the Startup dialog composes it.
inline QString reportLine(const QString& id, const QString& parity, const QString& version) {
    return QString(7, ' ') + id + QString(17, ' ') + parity + QString(20, ' ') + version + "\r\n";
}

} // namespace cvi::test
