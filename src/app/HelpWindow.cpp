#include "HelpWindow.h"

#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QVBoxLayout>

#include <functional>

namespace cvi {

namespace {

const QString BuiltInIndex = QStringLiteral("qrc:/help/index.html");

QString fileOf(const QUrl& u) {
    return u.scheme() == QStringLiteral("qrc") ? QStringLiteral(":") + u.path() : u.toLocalFile();
}

QString readPage(const QUrl& u) {
    QFile file(fileOf(u));
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll());
}

QString plain(const QString& html) {
    return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
}

const QRegularExpression& heading() {
    static const QRegularExpression re(QStringLiteral("<h([123])([^>]*)>(.*?)</h\\1>"),
                                       QRegularExpression::DotMatchesEverythingOption |
                                           QRegularExpression::CaseInsensitiveOption);
    return re;
}

QString idOf(const QString& attributes) {
    static const QRegularExpression re(QStringLiteral("id\\s*=\\s*\"([^\"]+)\""));
    const auto m = re.match(attributes);
    return m.hasMatch() ? m.captured(1) : QString();
}

// The sections of one page, its h1 first.
void addPage(const QUrl& page, QList<HelpSection>& out) {
    const QString html = readPage(page);
    if (html.isEmpty()) return;
    const QString pageUrl = page.toString(QUrl::RemoveFragment);
    auto it = heading().globalMatch(html);
    struct Mark {
        qsizetype start, end;
        HelpSection section;
    };
    QList<Mark> marks;
    while (it.hasNext()) {
        const auto m = it.next();
        HelpSection s;
        s.level = m.captured(1).toInt();
        s.title = plain(m.captured(3));
        const QString id = idOf(m.captured(2));
        s.url = s.level == 1 || id.isEmpty() ? pageUrl : pageUrl + QStringLiteral("#") + id;
        marks.append({m.capturedStart(), m.capturedEnd(), s});
    }
    const qsizetype bodyEnd = html.indexOf(QStringLiteral("</body>"), 0, Qt::CaseInsensitive);
    for (int i = 0; i < marks.size(); ++i) {
        const qsizetype to =
            i + 1 < marks.size() ? marks[i + 1].start : (bodyEnd < 0 ? html.size() : bodyEnd);
        HelpSection s = marks[i].section;
        // Headings without an id are part of the section above them.
        if (s.level > 1 && !s.url.contains('#') && !out.isEmpty()) {
            out.last().text += QStringLiteral(" ") + s.title + QStringLiteral(" ") +
                               plain(html.mid(marks[i].end, to - marks[i].end));
            continue;
        }
        s.text = plain(html.mid(marks[i].end, to - marks[i].end));
        out.append(s);
    }
}

} // namespace

QList<HelpSection> helpSections(const QString& indexUrl) {
    const QUrl index(indexUrl);
    QList<HelpSection> out;
    addPage(index, out);
    // The pages the index links to, in the order of their first link.
    static const QRegularExpression link(QStringLiteral("href\\s*=\\s*\"([^\"#:]+\\.html)"));
    QStringList seen = {index.fileName()};
    auto it = link.globalMatch(readPage(index));
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (seen.contains(name)) continue;
        seen << name;
        addPage(index.resolved(QUrl(name)), out);
    }
    return out;
}

QString helpIndexUrl(const QString& programFolder) {
    QStringList folders = {programFolder};
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath()
                << installedDataFolder(QCoreApplication::applicationDirPath());
    for (const QString& folder : folders) {
        const QString file = QDir(folder).filePath(QStringLiteral("help/index.html"));
        if (!folder.isEmpty() && QFileInfo::exists(file)) return QUrl::fromLocalFile(file).toString();
    }
    return BuiltInIndex;
}

QString parameterMeaning(const QString& mnemonic) {
    static const QHash<QString, QString> meanings = [] {
        QHash<QString, QString> m;
        const QString html = readPage(QUrl(QStringLiteral("qrc:/help/parameters.html")));
        static const QRegularExpression entry(
            QStringLiteral("<h3[^>]*id=\"param-([A-Z0-9]+)\"[^>]*>.*?</h3>\\s*<p>(.*?)</p>"),
            QRegularExpression::DotMatchesEverythingOption);
        auto it = entry.globalMatch(html);
        while (it.hasNext()) {
            const auto match = it.next();
            m.insert(match.captured(1), plain(match.captured(2)));
        }
        return m;
    }();
    return meanings.value(mnemonic);
}

HelpWindow::HelpWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowTitle(QStringLiteral("Corvanel Interactive Help"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* splitter = new QSplitter(this);
    auto* side = new QWidget(splitter);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(4, 4, 0, 4);
    auto* searchCaption = new QLabel(QStringLiteral("&Search:"), side);
    search_ = new QLineEdit(side);
    search_->setObjectName(QStringLiteral("txtHelpSearch"));
    search_->setPlaceholderText(QStringLiteral("words to find"));
    search_->setClearButtonEnabled(true);
    search_->setAccessibleName(QStringLiteral("Search the manual"));
    searchCaption->setBuddy(search_);
    auto* contentsCaption = new QLabel(QStringLiteral("C&ontents:"), side);
    contents_ = new QTreeWidget(side);
    contents_->setObjectName(QStringLiteral("lstHelpContents"));
    contents_->setHeaderHidden(true);
    contents_->setAccessibleName(QStringLiteral("Contents"));
    contentsCaption->setBuddy(contents_);
    sideLayout->addWidget(searchCaption);
    sideLayout->addWidget(search_);
    sideLayout->addWidget(contentsCaption);
    sideLayout->addWidget(contents_);

    browser_ = new QTextBrowser(splitter);
    browser_->setObjectName(QStringLiteral("helpBrowser"));
    browser_->setOpenExternalLinks(false);
    browser_->setAccessibleName(QStringLiteral("Help page"));
    splitter->addWidget(side);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({260, 740});
    setCentralWidget(splitter);
    resize(1000, 700);

    connect(search_, &QLineEdit::textChanged, this, &HelpWindow::filter);
    connect(search_, &QLineEdit::returnPressed, this, &HelpWindow::findNext);
    connect(contents_, &QTreeWidget::itemActivated, this, &HelpWindow::open);
    connect(contents_, &QTreeWidget::itemClicked, this, &HelpWindow::open);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        search_->setFocus();
        search_->selectAll();
    });
    auto* next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, &HelpWindow::findNext);
}

bool HelpWindow::showPage(const QString& url) {
    const QUrl u(url);
    if (!QFile::exists(fileOf(u))) return false;
    search_->setFocus();
    loadContents(u.toString(QUrl::RemoveFragment));
    browser_->setSource(u);
    return true;
}

void HelpWindow::loadContents(const QString& indexUrl) {
    if (indexUrl == loadedIndex_) return;
    loadedIndex_ = indexUrl;
    contents_->clear();
    QTreeWidgetItem* levels[4] = {nullptr, nullptr, nullptr, nullptr};
    for (const HelpSection& s : helpSections(indexUrl)) {
        QTreeWidgetItem* parent = nullptr;
        for (int l = s.level - 1; l >= 1 && !parent; --l)
            parent = levels[l];
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
        item->setText(0, s.title);
        item->setData(0, Qt::UserRole, s.url);
        item->setData(0, Qt::UserRole + 1, (s.title + QStringLiteral(" ") + s.text).toLower());
        levels[s.level] = item;
        for (int l = s.level + 1; l < 4; ++l)
            levels[l] = nullptr;
    }
    if (contents_->topLevelItemCount() > 0) contents_->topLevelItem(0)->setExpanded(true);
}

void HelpWindow::filter(const QString& typed) {
    const QStringList words =
        typed.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    // An item stays when it holds every word, or when one of its sections does.
    std::function<bool(QTreeWidgetItem*)> keep = [&](QTreeWidgetItem* item) {
        bool any = false;
        for (int i = 0; i < item->childCount(); ++i)
            any = keep(item->child(i)) || any;
        const QString text = item->data(0, Qt::UserRole + 1).toString();
        bool own = true;
        for (const QString& w : words)
            own = own && text.contains(w);
        const bool shown = own || any;
        item->setHidden(!shown);
        item->setExpanded(!words.isEmpty() && any);
        return shown;
    };
    for (int i = 0; i < contents_->topLevelItemCount(); ++i)
        keep(contents_->topLevelItem(i));
    // New words are found from the top of the next section opened.
    QTextCursor cursor = browser_->textCursor();
    cursor.clearSelection();
    browser_->setTextCursor(cursor);
}

void HelpWindow::open(QTreeWidgetItem* item) {
    if (!item) return;
    browser_->setSource(QUrl(item->data(0, Qt::UserRole).toString()));
    // Finding starts at the section's heading, now at the top of the page shown.
    browser_->setTextCursor(browser_->cursorForPosition(QPoint(0, 0)));
    const QString first = search_->text().simplified().section(' ', 0, 0);
    if (!first.isEmpty()) browser_->find(first);
}

void HelpWindow::findNext() {
    const QString first = search_->text().simplified().section(' ', 0, 0);
    if (first.isEmpty()) return;
    // Enter in the search field: first the best section, then further places in the page shown.
    if (!browser_->textCursor().hasSelection()) {
        QTreeWidgetItemIterator it(contents_, QTreeWidgetItemIterator::NotHidden);
        QTreeWidgetItem* best = nullptr;
        for (; *it && (!best || best->childCount() > 0); ++it)
            if (!best || (*it)->childCount() == 0) best = *it;
        if (best) {
            contents_->setCurrentItem(best);
            open(best);
            return;
        }
    }
    if (!browser_->find(first)) {
        browser_->moveCursor(QTextCursor::Start);
        browser_->find(first);
    }
}

} // namespace cvi
