#pragma once

#include <QMainWindow>

class QTextBrowser;

namespace cvi {

// The program's help pages in a window of their own.
class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the page; false if it cannot be found.
    bool showPage(const QString& url);

private:
    QTextBrowser* browser_;
};

} // namespace cvi
