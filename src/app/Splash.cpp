#include "Splash.h"

#include <QLabel>
#include <QPixmap>

namespace cvi {

Splash::Splash(int screenWidthPx, int screenHeightPx, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmlogo"));
    image1_ = new QLabel(this);
    image1_->setObjectName(QStringLiteral("Image1"));
    const QPixmap picture(QStringLiteral(":/splash.jpg"));
    image1_->setPixmap(picture);
    image1_->resize(picture.size());
    resize(picture.size());
    move((screenWidthPx - picture.width()) / 2, (screenHeightPx - picture.height()) / 2);
}

} // namespace cvi
