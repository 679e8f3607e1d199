#pragma once

#include <QDialog>

namespace cvi {

// "frmAbout": the program's name, version and purpose.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

} // namespace cvi
