#pragma once

#include <QObject>

class QWidget;

namespace cvi {

// Gives every control that a screen reader would announce without a name (list boxes, text
// fields, tab bars beside a caption) the words an operator sees with it: the caption label it
// is the buddy of, the caption beside or above it in its grid, else its frame's title. Controls
// that have a text of their own (buttons, options) or an accessible name keep it.
void nameUnnamedControls(QWidget& window);

// Runs nameUnnamedControls on every window (main window, dialogs, live windows) as it is shown.
class AccessibleNames : public QObject {
public:
    explicit AccessibleNames(QObject* parent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

} // namespace cvi
