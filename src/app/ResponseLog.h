#pragma once

#include <QPlainTextEdit>

namespace cvi {

class PageHost;

// A page's reply log: read-only to the keyboard except for copying (Ctrl+C), a bounded number of
// lines, and a change counter in the shared state after which every change keeps the newest
// line in view. Clicking it (and, where asked, giving it the focus) while it holds text tells
// the operator how to copy; leaving it empties the left panel.
class ResponseLog : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int MaxLines = 5000;

    // How a page's log behaves.
    struct Rules {
        int scrollFrom = 10;      // from this count of changes on, every change shows the newest line
        QString clickHint;        // shown on a click while the box holds text (empty: nothing)
        QString focusHint;        // shown when the box gets the focus while it holds text
        bool clearOnLeave = true; // losing the focus empties the left panel
    };

    // `counter` is the page's line counter in the shared state; every change raises it.
    ResponseLog(PageHost& main, const QString& name, qint16& counter, Rules rules, QWidget* parent = nullptr);

    // Appends a reply as the instruments send it: CR dropped, LF kept.
    void appendReply(const QString& text);
    // How often the box scrolled itself since it was made (the scroll rule's effect).
    int scrolls() const { return scrolls_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void changed();

    PageHost& main_;
    qint16& counter_;
    Rules rules_;
    int scrolls_ = 0;
};

} // namespace cvi
