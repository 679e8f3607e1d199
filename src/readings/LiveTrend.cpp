#include "LiveTrend.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace cvi {

namespace {
constexpr double Margin = 0.05;   // of the span, above and below the values
constexpr double LeastShown = 60; // seconds on the time axis before the plot starts to scroll
constexpr int PlotWidth = 420;
constexpr int PlotHeight = 200;
} // namespace

LiveTrend::LiveTrend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LiveTrend"));
    selector_ = new QComboBox(this);
    selector_->setObjectName(QStringLiteral("cboTrend"));
    selector_->hide();
    series_ = new QLineSeries;
    chart_ = new QChart;
    chart_->addSeries(series_);
    chart_->legend()->hide();
    x_ = new QValueAxis;
    x_->setTitleText(QStringLiteral("seconds"));
    x_->setLabelFormat(QStringLiteral("%.0f"));
    y_ = new QValueAxis;
    chart_->addAxis(x_, Qt::AlignBottom);
    chart_->addAxis(y_, Qt::AlignLeft);
    series_->attachAxis(x_);
    series_->attachAxis(y_);
    x_->setRange(0, LeastShown);
    followPalette();
    auto* view = new QChartView(chart_, this);
    view->setObjectName(QStringLiteral("chtTrend"));
    view->setMinimumSize(PlotWidth, PlotHeight);
    view->setRenderHint(QPainter::Antialiasing, false);

    grid_ = new QGridLayout;
    int column = 1;
    for (const char* title : {"Minimum", "Maximum", "Mean", "Count"})
        grid_->addWidget(new QLabel(QString::fromLatin1(title), this), 0, column++, Qt::AlignRight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(selector_);
    layout->addWidget(view, 1);
    layout->addLayout(grid_);

    connect(selector_, &QComboBox::currentIndexChanged, this, [this] {
        dirty_ = true;
        redraw();
    });
    timer_.setInterval(RedrawMs);
    connect(&timer_, &QTimer::timeout, this, &LiveTrend::redraw);
    timer_.start();
}

void LiveTrend::followPalette() {
    const QPalette p = palette();
    const QColor text = p.color(QPalette::Text);
    chart_->setBackgroundBrush(p.color(QPalette::Base));
    chart_->setBackgroundPen(QPen(p.color(QPalette::Mid)));
    chart_->setPlotAreaBackgroundVisible(false);
    chart_->setTitleBrush(text);
    QColor grid = text;
    grid.setAlpha(70); // a faint line of the text's own colour shows on light and dark alike
    for (QValueAxis* axis : {x_, y_}) {
        axis->setLabelsColor(text);
        axis->setTitleBrush(text);
        axis->setLinePenColor(text);
        axis->setGridLineColor(grid);
    }
    QPen line(p.color(QPalette::Highlight));
    line.setWidthF(1.5);
    series_->setPen(line);
}

void LiveTrend::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) followPalette();
    QWidget::changeEvent(event);
}

int LiveTrend::addQuantity(const QString& name) {
    const int q = int(quantities_.size());
    Quantity quantity;
    quantity.name = name;
    const int row = q + 1;
    grid_->addWidget(new QLabel(name, this), row, 0);
    QLabel** cells[] = {&quantity.min, &quantity.max, &quantity.mean, &quantity.count};
    int column = 1;
    for (QLabel** cell : cells) {
        *cell = new QLabel(this);
        (*cell)->setObjectName(QStringLiteral("lblTrend%1_%2").arg(q).arg(column));
        (*cell)->setTextFormat(Qt::PlainText);
        (*cell)->setAlignment(Qt::AlignRight);
        grid_->addWidget(*cell, row, column++);
    }
    quantities_.push_back(quantity);
    showStats(quantities_.back());
    selector_->addItem(name);
    selector_->setVisible(selector_->count() > 1);
    if (q == 0) chart_->setTitle(name);
    return q;
}

void LiveTrend::add(int q, double seconds, const QString& shown) {
    Quantity& quantity = quantities_[size_t(q)];
    now_ = std::max(now_, seconds);
    const std::optional<double> value = live::shownNumber(shown);
    if (!value) return;
    quantity.stats.add(*value, shown);
    showStats(quantity);
    quantity.points.append(QPointF(seconds, *value));
    // Only the last minutes are kept, so a window left reading for hours keeps its size.
    const auto old = std::find_if(quantity.points.cbegin(), quantity.points.cend(),
                                  [this](const QPointF& p) { return p.x() >= now_ - Span; });
    quantity.points.erase(quantity.points.cbegin(), old);
    dirty_ = dirty_ || q == selector_->currentIndex();
}

void LiveTrend::reset() {
    for (Quantity& q : quantities_) {
        q.stats = {};
        showStats(q);
    }
}

void LiveTrend::showStats(Quantity& q) {
    const live::ReadingStats& s = q.stats;
    q.min->setText(s.minText);
    q.max->setText(s.maxText);
    q.mean->setText(s.mean());
    q.count->setText(QString::number(s.count));
}

QPair<double, double> LiveTrend::verticalRange(double lo, double hi) {
    const double centre = (lo + hi) / 2;
    const double least = std::max(std::abs(centre) * LeastSpan, LeastAbsolute);
    const double span = std::max(hi - lo, least);
    return {centre - span * (0.5 + Margin), centre + span * (0.5 + Margin)};
}

void LiveTrend::redraw() {
    const int shown = selector_->currentIndex();
    if (!dirty_ || shown < 0) return;
    dirty_ = false;
    ++draws_;
    const Quantity& q = quantities_[size_t(shown)];
    chart_->setTitle(q.name);
    const double right = std::max(now_, LeastShown);
    x_->setRange(std::max(0.0, right - Span), right);
    if (q.points.isEmpty()) {
        series_->clear();
        plotted_ = 0;
        return;
    }
    // Thinned to the lowest and highest point of each of MostPlotted / 2 equal time slices, so
    // the drawing costs the same however many readings the plot holds and no peak is lost.
    QList<QPointF> drawn;
    if (q.points.size() <= MostPlotted) {
        drawn = q.points;
    } else {
        const double first = q.points.front().x();
        const double width = std::max(q.points.back().x() - first, 1e-9) / (MostPlotted / 2);
        drawn.reserve(MostPlotted + 2);
        for (qsizetype i = 0; i < q.points.size();) {
            const int slice = int((q.points[i].x() - first) / width);
            qsizetype lo = i;
            qsizetype hi = i;
            for (; i < q.points.size() && int((q.points[i].x() - first) / width) == slice; ++i) {
                if (q.points[i].y() < q.points[lo].y()) lo = i;
                if (q.points[i].y() > q.points[hi].y()) hi = i;
            }
            drawn.append(q.points[std::min(lo, hi)]);
            if (hi != lo) drawn.append(q.points[std::max(lo, hi)]);
        }
    }
    double lo = drawn.front().y();
    double hi = lo;
    for (const QPointF& p : drawn) {
        lo = std::min(lo, p.y());
        hi = std::max(hi, p.y());
    }
    const auto [bottom, top] = verticalRange(lo, hi);
    y_->setRange(bottom, top);
    series_->replace(drawn);
    plotted_ = int(drawn.size());
}

} // namespace cvi
