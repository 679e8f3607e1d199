// The program from the keyboard, on the built-in simulated loop: Enter detects and accepts in the
// Startup dialog; Tab reaches every control of every page and dialog in the order of the layout,
// each with a name for screen readers (value boxes with the parameter's meaning too); Enter or
// Space on a value box opens its edit; every dialog has a default button and Escape cancels it.
#include "EditFlow.h"
#include "Program.h"
#include "ScriptedOperator.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace cvi;

namespace {
QString nameOf(QWidget* w) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name).trimmed() : QString();
}

// Presses Tab through `window` from its first control, checks what was reached within `area`,
// and returns the problems found (empty: none).
QStringList walk(QWidget* window, QWidget* area) {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) return {"window not active: " + window->objectName()};
    QList<QWidget*> reached;
    QWidget* first = nullptr;
    for (QWidget* w = window->nextInFocusChain(); w != window && !first; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisible() && w->isEnabled()) first = w;
    if (!first) return {"nothing to focus in " + window->objectName()};
    first->setFocus(Qt::TabFocusReason);
    for (int i = 0; i < 400 && window->focusWidget(); ++i) {
        QWidget* now = window->focusWidget();
        if (!reached.isEmpty() && now == reached.first()) break;
        if (!reached.contains(now)) reached << now;
        QTest::keyClick(now, Qt::Key_Tab);
    }
    QStringList problems;
    for (QWidget* w : area->findChildren<QWidget*>()) {
        // Value boxes must take the focus whatever their policy says.
        const bool control = (w->focusPolicy() & Qt::TabFocus) || qobject_cast<ValueBox*>(w);
        if (!control || !w->isVisible() || !w->isEnabled() || w->focusProxy()) continue;
        const QString who = window->objectName() + "/" + w->objectName() + " " + w->metaObject()->className();
        if (!reached.contains(w)) problems << "not reached: " + who;
        if (nameOf(w).isEmpty()) problems << "no name: " + who;
        auto* box = qobject_cast<ValueBox*>(w);
        if (box && catalogue::forBox(box->objectName()) && box->accessibleDescription().isEmpty())
            problems << "no description: " + who;
    }
    // Within a frame the focus goes down the rows and, in a row, left to right.
    for (int i = 1; i < reached.size(); ++i) {
        QWidget* a = reached[i - 1];
        QWidget* b = reached[i];
        if (a->parentWidget() != b->parentWidget() || !qobject_cast<QGroupBox*>(a->parentWidget())) continue;
        const int dy = b->y() - a->y();
        if (dy < -4 || (std::abs(dy) <= 4 && b->x() < a->x()))
            problems << "out of order: " + a->objectName() + " before " + b->objectName();
    }
    return problems;
}

// A dialog run from the keyboard: reachable and named, with a default button; Escape (or Enter
// where `enter`) closes it.
std::function<int(QDialog&)> inspect(QStringList& problems, bool enter = false) {
    return [&problems, enter](QDialog& dialog) {
        problems << walk(&dialog, &dialog);
        bool hasDefault = false;
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            hasDefault = hasDefault || (b->isDefault() && b->isVisible() && b->isEnabled());
        if (!hasDefault) problems << "no default button: " + dialog.objectName();
        QTest::keyClick(&dialog, enter ? Qt::Key_Return : Qt::Key_Escape);
        if (dialog.isVisible()) problems << "still open: " + dialog.objectName();
        return dialog.result();
    };
}
} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setEndProgramHook([] {});
    }

    void everyPageAndDialog() {
        QTemporaryDir folder;
        QtRuntime runtime;
        test::ScriptedOperator op;
        Program program(CommandLine::parse({"--simulate", "--no-splash"}), runtime, op, folder.path());
        QStringList problems;

        // Startup: Enter is Detect, then OK.
        op.dialogs.enqueue([&](QDialog& dialog) {
            auto* detect = dialog.findChild<QPushButton*>("cmdStart");
            auto* ok = dialog.findChild<QPushButton*>("CmdOK");
            problems << walk(&dialog, &dialog);
            if (!detect->isDefault()) problems << "Detect is not the default before a detection";
            QTest::keyClick(&dialog, Qt::Key_Return);
            if (!ok->isEnabled() || !ok->isDefault()) problems << "OK is not the default after a detection";
            QTest::keyClick(&dialog, Qt::Key_Return);
            return dialog.result();
        });
        QVERIFY(program.start(false));
        QCOMPARE(program.state().IDList, "010203");

        MainWindow& main = program.main();
        auto* panel = main.findChild<QTabWidget*>("Panel");
        // Each page read by its Start, walked, and one of its value boxes opened from the keyboard.
        // clang-format off
        struct Page { int page; const char* start; const char* box; Qt::Key key; const char* dialog; };
        const Page pages[] = {
            {0, "cmdSamplingStart", nullptr, Qt::Key_Return, nullptr}, // dialog null: a prompt
            {1, "cmdConfigurationStart", "lblDD", Qt::Key_Return, "frmDD"},
            {1, "cmdConfigurationStart", "lblPR", Qt::Key_Space, nullptr},
            {1, "cmdConfigurationStart", "lblDisplay", Qt::Key_Enter, "frmMD"},
            {2, "cmdCalibrationStart", "lblC1", Qt::Key_Return, nullptr},
            {3, nullptr, nullptr, Qt::Key_Return, nullptr},
            {4, "cmdAnalogSend", "lblE2", Qt::Key_Space, nullptr},
            {5, nullptr, nullptr, Qt::Key_Return, nullptr}};
        // clang-format on
        for (const auto& p : pages) {
            panel->setCurrentIndex(p.page);
            if (p.start) main.findChild<QPushButton*>(p.start)->click();
            problems << walk(&main, panel->widget(p.page));
            if (!p.box) continue;
            auto* box = main.findChild<ValueBox*>(p.box);
            const qsizetype asked = op.asked.size();
            const qsizetype run = op.dialogsRun.size();
            if (p.dialog) op.dialogs.enqueue(inspect(problems));
            box->setFocus(Qt::TabFocusReason);
            QTest::keyClick(box, p.key);
            const bool opened =
                p.dialog ? op.dialogsRun.value(run) == p.dialog : op.asked.size() == asked + 1;
            if (!opened) problems << QStringLiteral("%1 did not open its edit").arg(p.box);
        }
        panel->setCurrentIndex(1);

        // The menus' dialogs; the report's first dialog goes on with Enter to the second.
        using Menu = std::pair<const char*, QStringList>;
        const Menu menus[] = {{"mnuPrint", {"frmReportInfo", "frmPrintReport"}},
                              {"mnuSettings", {"CommsSetup"}},
                              {"mnuTimeout", {"CommsSetup"}},
                              {"mnuAbout", {"frmAbout"}},
                              {"mnuStartup", {"frmSystemCheck"}}};
        for (const auto& [action, dialogs] : menus) {
            const qsizetype run = op.dialogsRun.size();
            for (int i = 0; i < dialogs.size(); ++i)
                op.dialogs.enqueue(inspect(problems, i + 1 < dialogs.size()));
            main.action(action)->trigger();
            QCOMPARE(op.dialogsRun.mid(run), dialogs);
        }
        problems.removeAll(QString());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
