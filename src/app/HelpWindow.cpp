#include "HelpWindow.h"

#include <QFile>
#include <QTextBrowser>
#include <QUrl>

namespace cvi {

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Corvanel Interactive Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(false);
    setCentralWidget(browser_);
    resize(800, 600);
}

bool HelpWindow::showPage(const QString& url) {
    const QUrl u(url);
    const QString file =
        u.scheme() == QStringLiteral("qrc") ? QStringLiteral(":") + u.path() : u.toLocalFile();
    if (!QFile::exists(file)) return false;
    browser_->setSource(u);
    return true;
}

} // namespace cvi
