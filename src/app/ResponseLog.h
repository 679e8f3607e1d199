#pragma once

#include <QPlainTextEdit>

#include <functional>

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
    // The same with a counter held as a number that has no 16-bit top (the Sampling page's).
    ResponseLog(PageHost& main, const QString& name, double& counter, Rules rules, QWidget* parent = nullptr);

    // Appends a reply as the instruments send it: CR dropped, LF kept.
    void appendReply(const QString& text);
    // Appends `lines` replies collected in one text with a single edit of the box, counted as
    // `lines` changes (a long reading shows its lines in batches instead of one edit each).
    void appendReplies(const QString& text, int lines);
    // How often the box scrolled itself since it was made (the scroll rule's effect).
    int scrolls() const { return scrolls_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    ResponseLog(PageHost& main, const QString& name, std::function<double(int)> raise, Rules rules,
                QWidget* parent);
    void changed();

    PageHost& main_;
    // Raises the counter by the given number of changes and returns its new value.
    std::function<double(int)> raise_;
    Rules rules_;
    int scrolls_ = 0;
    int extraChanges_ = 0;
};

} // namespace cvi
