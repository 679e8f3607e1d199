#pragma once

#include <QWidget>

class QLabel;

namespace cvi {

// "frmlogo": the picture shown for about a second while the program starts, centred on a screen
// of the given size.
class Splash : public QWidget {
    Q_OBJECT
public:
    Splash(int screenWidthPx, int screenHeightPx, QWidget* parent = nullptr);
    QLabel* picture() const { return image1_; }

private:
    QLabel* image1_;
};

} // namespace cvi
