#include "PageHeader.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace cvi {

QLabel* fieldCaption(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QGroupBox* boxFrame(const QString& name, const QString& title, QWidget* parent) {
    auto* f = new QGroupBox(title, parent);
    f->setObjectName(name);
    auto* grid = new QGridLayout(f);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setVerticalSpacing(3);
    grid->setAlignment(Qt::AlignTop);
    return f;
}

PageHeader PageHeader::build(PageHost& main, QWidget* page, const Names& names, qint16& counter,
                             const ResponseLog::Rules& rules, QWidget* extra) {
    PageHeader h;
    h.layout = new QGridLayout;
    h.layout->addWidget(fieldCaption(QStringLiteral("Instrument ID"), page), 0, 0);
    h.ids = new QComboBox(page);
    h.ids->setObjectName(names.ids);
    h.layout->addWidget(h.ids, 1, 0);
    h.start = new QPushButton(QStringLiteral("Start"), page);
    h.start->setObjectName(names.start);
    h.layout->addWidget(h.start, 1, 1);
    h.layout->addWidget(fieldCaption(QStringLiteral("Command"), page), 0, 2);
    h.command = new QLabel(page);
    h.command->setObjectName(names.command);
    h.command->setTextFormat(Qt::PlainText);
    h.command->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    h.command->setMinimumWidth(260);
    h.command->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    h.layout->addWidget(h.command, 1, 2);
    int column = 3;
    if (extra) h.layout->addWidget(extra, 1, column++);
    h.layout->addWidget(fieldCaption(QStringLiteral("Response"), page), 0, column);
    h.log = new ResponseLog(main, names.log, counter, rules, page);
    h.log->setFixedHeight(80);
    h.layout->addWidget(h.log, 1, column);
    h.layout->setColumnStretch(column, 1);
    // Tab follows the row: the list, Start, the page's own button, the response box.
    QWidget::setTabOrder(h.ids, h.start);
    if (extra) QWidget::setTabOrder(h.start, extra);
    QWidget::setTabOrder(extra ? extra : h.start, h.log);
    return h;
}

} // namespace cvi
