#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

class QLineEdit;
class QTextBrowser;
class QTreeWidget;
class QTreeWidgetItem;

namespace cvi {

// One section of the manual: a heading with an id, and the plain text up to the next heading.
struct HelpSection {
    QString url;   // page URL and "#" + the heading's id
    QString title; // the heading's text
    int level = 1; // 1 a page, 2 a section, 3 a subsection
    QString text;  // the section's words, without markup
};

// The manual's sections in reading order: the index page and every page it links to, each page
// followed by its h2 and h3 headings that carry an id. `indexUrl` is a qrc: or file: URL.
QList<HelpSection> helpSections(const QString& indexUrl);

// The manual's index page: help/index.html in the program's folder, beside the executable, in the
// installed data folder (<bin>/../share/cvi), else the copy built into the program.
QString helpIndexUrl(const QString& programFolder);

// The first paragraph of a parameter's entry in the manual (the section "param-" + mnemonic of
// the built-in parameters page), as plain text; empty when the manual has no entry.
QString parameterMeaning(const QString& mnemonic);

// The program's manual in a window of its own: a search field and the contents on the left,
// the page on the right. Typing in the search field keeps the sections that hold every word
// typed; Enter opens the first of them and finds the words in it, Enter again the next place.
class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    // Shows the page and fills the contents from its manual; false if it cannot be found.
    bool showPage(const QString& url);

private:
    void loadContents(const QString& indexUrl);
    void filter(const QString& words);
    void open(QTreeWidgetItem* item);
    void findNext();

    QLineEdit* search_;
    QTreeWidget* contents_;
    QTextBrowser* browser_;
    QString loadedIndex_;
};

} // namespace cvi
