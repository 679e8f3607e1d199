#pragma once

#include "ReadingLog.h"

#include <QList>
#include <QPointF>
#include <QTimer>
#include <QWidget>

#include <vector>

class QChart;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineSeries;
class QValueAxis;

namespace cvi {

// Under a live window's values: a plot of the last minutes of one value (a selector picks which
// when the window shows several), and each value's minimum, maximum, mean and count since the
// window opened or since Reset. The plot is redrawn on a timer, a few times a second at most,
// however fast the readings come.
class LiveTrend : public QWidget {
    Q_OBJECT
public:
    static constexpr double Span = 300.0;         // seconds of readings the plot keeps
    static constexpr int RedrawMs = 250;          // the plot's refresh interval
    static constexpr int MostPlotted = 2000;      // points drawn at most; more are thinned by min/max
    static constexpr double LeastSpan = 1e-3;     // the vertical scale's smallest span, relative...
    static constexpr double LeastAbsolute = 1e-3; // ...and absolute

    explicit LiveTrend(QWidget* parent);

    // A value the window shows; returns its index.
    int addQuantity(const QString& name);
    // `shown` on quantity `q`'s panel at `seconds` after the window opened. A text that is not
    // a number is neither plotted nor counted.
    void add(int q, double seconds, const QString& shown);
    // The statistics start again; the plot keeps its points.
    void reset();
    // Draws the plot now if anything changed since it was last drawn.
    void redraw();

    const live::ReadingStats& stats(int q) const { return quantities_[size_t(q)].stats; }
    int plotted() const { return plotted_; }
    int draws() const { return draws_; }
    QChart* chart() const { return chart_; }

    // The vertical range drawn for values from `lo` to `hi`: at least the smallest span, centred.
    static QPair<double, double> verticalRange(double lo, double hi);

protected:
    void changeEvent(QEvent* event) override;

private:
    // The chart in the desktop's colours (a dark theme too), not the chart's own light theme.
    void followPalette();

    struct Quantity {
        QString name;
        QList<QPointF> points;
        live::ReadingStats stats;
        QLabel* min = nullptr;
        QLabel* max = nullptr;
        QLabel* mean = nullptr;
        QLabel* count = nullptr;
    };
    void showStats(Quantity& q);

    std::vector<Quantity> quantities_;
    QGridLayout* grid_ = nullptr;
    QComboBox* selector_ = nullptr;
    QChart* chart_ = nullptr;
    QLineSeries* series_ = nullptr;
    QValueAxis* x_ = nullptr;
    QValueAxis* y_ = nullptr;
    QTimer timer_;
    double now_ = 0;
    bool dirty_ = false;
    int plotted_ = 0;
    int draws_ = 0;
};

} // namespace cvi
