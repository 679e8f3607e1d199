#include "AccessibleNames.h"

#include <QAccessible>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QWidget>

namespace cvi {

namespace {

QString stripAmpersands(QString text) {
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text.simplified().remove(QRegularExpression(QStringLiteral("\\s*:$")));
}

bool hasName(QWidget* w) {
    if (!w->accessibleName().isEmpty()) return true;
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    return a && !a->text(QAccessible::Name).trimmed().isEmpty();
}

QString labelText(QLayoutItem* item) {
    auto* label = qobject_cast<QLabel*>(item ? item->widget() : nullptr);
    return label ? stripAmpersands(label->text()) : QString();
}

// The caption a control sits with in a grid: left of it, else above it.
QString gridCaption(QWidget* w) {
    QWidget* parent = w->parentWidget();
    auto* grid = qobject_cast<QGridLayout*>(parent ? parent->layout() : nullptr);
    // Pages put their header in a grid nested in the page's own layout.
    if (!grid && parent && parent->layout())
        for (QGridLayout* g : parent->layout()->findChildren<QGridLayout*>())
            if (g->indexOf(w) >= 0) grid = g;
    const int at = grid ? grid->indexOf(w) : -1;
    if (at < 0) return QString();
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(at, &row, &column, &rows, &columns);
    QString text = column > 0 ? labelText(grid->itemAtPosition(row, column - 1)) : QString();
    if (text.isEmpty() && row > 0) text = labelText(grid->itemAtPosition(row - 1, column));
    return text;
}

QString frameTitle(QWidget* w) {
    for (QWidget* p = w->parentWidget(); p && !p->isWindow(); p = p->parentWidget())
        if (auto* box = qobject_cast<QGroupBox*>(p); box && !box->title().isEmpty())
            return stripAmpersands(box->title());
    return QString();
}

} // namespace

void nameUnnamedControls(QWidget& window) {
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || hasName(w)) continue;
        QString name = gridCaption(w);
        if (name.isEmpty()) name = frameTitle(w);
        if (!name.isEmpty()) w->setAccessibleName(name);
    }
}

AccessibleNames::AccessibleNames(QObject* parent) : QObject(parent) {
    qApp->installEventFilter(this);
}

bool AccessibleNames::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w->isWindow()) nameUnnamedControls(*w);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace cvi
