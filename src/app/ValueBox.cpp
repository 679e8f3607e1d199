#include "ValueBox.h"

#include "Catalogue.h"
#include "HelpWindow.h"
#include "PageHeader.h"
#include "PageHost.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace cvi {

ValueBox::ValueBox(const QString& name, InstrumentRecord& record, QWidget* parent)
    : QLabel(parent), record_(record) {
    setObjectName(name);
    setTextFormat(Qt::PlainText);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setMinimumWidth(90);
    setMargin(2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::StrongFocus);
    QLabel::setText(record.box(name));
    const QPointer<ValueBox> self(this);
    record.watchBox(name, this, [self](const QString& text) {
        if (self) self->QLabel::setText(text);
    });
}

bool ValueBox::event(QEvent* event) {
    // Named once it sits in its frame, beside its caption.
    if (event->type() == QEvent::Polish) describe();
    return QLabel::event(event);
}

void ValueBox::describe() {
    if (!accessibleName().isEmpty()) return;
    const catalogue::Parameter* p = catalogue::forBox(objectName());
    const QString mnemonic = p ? p->mnemonic : objectName().mid(3);
    QString caption;
    QWidget* frame = parentWidget();
    if (auto* grid = qobject_cast<QGridLayout*>(frame ? frame->layout() : nullptr)) {
        int row = 0, column = 0, rows = 0, columns = 0;
        const int at = grid->indexOf(this);
        if (at >= 0) grid->getItemPosition(at, &row, &column, &rows, &columns);
        QLayoutItem* left = at >= 0 && column > 0 ? grid->itemAtPosition(row, column - 1) : nullptr;
        if (auto* label = qobject_cast<QLabel*>(left ? left->widget() : nullptr)) caption = label->text();
    }
    const auto* group = qobject_cast<QGroupBox*>(frame);
    if (caption.isEmpty() || caption == mnemonic)
        caption =
            group && !group->title().isEmpty() ? group->title() + QLatin1Char(' ') + mnemonic : mnemonic;
    setAccessibleName(caption);
    if (p) setAccessibleDescription(parameterMeaning(p->mnemonic));
}

void ValueBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) && !event->isAutoRepeat() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        event->accept();
        emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void ValueBox::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = contentsRect();
    option.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void ValueBox::show(const QString& text) {
    record_.showBox(objectName(), text);
}

void ValueBox::showReading(const QString& mnemonic, const QString& reply, const QString& text) {
    record_.set(mnemonic, reply, text);
    show(text);
}

void ValueBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void ValueBox::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click) emit clicked();
}

ValueBox* addValueBox(QGroupBox* frame, const QString& name, const QString& caption, InstrumentRecord& record,
                      int row, int column) {
    auto* grid = static_cast<QGridLayout*>(frame->layout());
    auto* box = new ValueBox(name, record, frame);
    if (!caption.isNull()) grid->addWidget(fieldCaption(caption, frame), row, column);
    grid->addWidget(box, row, column + 1);
    return box;
}

void followInstrumentInformation(PageHost& host, ValueBox* serial, ValueBox* version) {
    QObject::connect(&host, &PageHost::pageChanged, serial, [&host, serial, version] {
        serial->show(host.state().CurrentSN);
        version->show(host.state().CurrentVR);
    });
    QObject::connect(&host, &PageHost::informationCleared, serial, [serial, version] {
        serial->show(QString());
        version->show(QString());
    });
}

ValueBox* valueBox(const PageContext& page, const QString& name) {
    return qobject_cast<ValueBox*>(page.boxNamed(name));
}

bool runPageExchange(PageHost& host, const PageContext& page, const std::function<void()>& action) {
    return host.runExchange([&] {
        PageObserver shown(page, host.op());
        const Observing observing(host.link(), &shown);
        action();
    });
}

void hintStartButton(PageHost& host, QAbstractButton* start) {
    QPointer<QAbstractButton> button(start);
    host.hint(start, [button]() -> QString {
        return button && button->isEnabled() ? texts::PleaseClickStart : QString();
    });
}

std::optional<QString> valueOf(PageHost& host, const Reply& reply, const QString& mnemonic) {
    if (reply.holdsValue()) return reply.value();
    if (reply.answered())
        host.op().message(QStringLiteral("The reply to %1 holds no value ").arg(mnemonic) +
                              texts::CorruptedParameter,
                          QStringLiteral("Error"), Operator::Icon::Information);
    return std::nullopt;
}

} // namespace cvi
