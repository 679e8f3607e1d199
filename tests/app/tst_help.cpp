// The manual: every parameter has its entry, every link lands, the window's search finds and
// shows a section, and an installed or local copy of the manual is preferred to the built-in one.
#include "Catalogue.h"
#include "HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace cvi;

namespace {
const QString Index = QStringLiteral("qrc:/help/index.html");

int words(const QString& text) {
    return int(text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size());
}
} // namespace

class TestHelp : public QObject {
    Q_OBJECT
private slots:
    void everyParameterHasAnEntry() {
        QHash<QString, HelpSection> byUrl;
        int total = 0;
        for (const HelpSection& s : helpSections(Index)) {
            byUrl.insert(s.url, s);
            total += words(s.title) + words(s.text);
        }
        QVERIFY2(total >= 4000, qPrintable(QString::number(total)));
        for (const catalogue::Parameter& p : catalogue::all()) {
            const HelpSection s =
                byUrl.value(QStringLiteral("qrc:/help/parameters.html#param-") + p.mnemonic);
            QVERIFY2(s.title.startsWith(p.mnemonic + ':') && words(s.text) >= 20, qPrintable(p.mnemonic));
            QVERIFY2(s.text.startsWith(parameterMeaning(p.mnemonic).left(40)) &&
                         !parameterMeaning(p.mnemonic).isEmpty(),
                     qPrintable(p.mnemonic));
        }
    }

    void everyLinkLands() {
        QSet<QString> anchors, pages;
        for (const HelpSection& s : helpSections(Index)) {
            anchors << s.url;
            pages << s.url.section('#', 0, 0);
        }
        static const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
        for (const QString& page : std::as_const(pages)) {
            QFile file(QStringLiteral(":") + QUrl(page).path());
            QVERIFY(file.open(QIODevice::ReadOnly));
            auto it = link.globalMatch(QString::fromUtf8(file.readAll()));
            while (it.hasNext()) {
                const QString target = QUrl(page).resolved(QUrl(it.next().captured(1))).toString();
                QVERIFY2(target.contains('#') ? anchors.contains(target) : pages.contains(target),
                         qPrintable(page + " -> " + target));
            }
        }
    }

    void searchKeepsTheSectionsThatHoldEveryWord() {
        HelpWindow w;
        QVERIFY(w.showPage(Index));
        auto* search = w.findChild<QLineEdit*>("txtHelpSearch");
        auto* contents = w.findChild<QTreeWidget*>("lstHelpContents");
        auto* browser = w.findChild<QTextBrowser*>("helpBrowser");
        QVERIFY(search && contents && browser && contents->topLevelItemCount() >= 10);
        auto shown = [&] {
            QStringList urls;
            for (QTreeWidgetItemIterator it(contents, QTreeWidgetItemIterator::NotHidden); *it; ++it)
                if ((*it)->childCount() == 0) urls << (*it)->data(0, Qt::UserRole).toString();
            return urls;
        };
        search->setText(QStringLiteral("usermod Dialout"));
        QVERIFY(shown().contains("qrc:/help/ports.html#permissions"));
        QVERIFY(!shown().contains("qrc:/help/parameters.html#param-PR"));
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(browser->source().toString().contains('#'));
        QCOMPARE(browser->textCursor().selectedText().toLower(), "usermod");
        search->setText(QStringLiteral("no-such-word-anywhere"));
        QVERIFY(shown().isEmpty());
        search->clear();
        QVERIFY(shown().size() > 100);
    }

    void localCopyBeforeTheBuiltInOne() {
        QTemporaryDir folder;
        QCOMPARE(helpIndexUrl(folder.path()), Index);
        QVERIFY(QDir(folder.path()).mkpath("help"));
        QVERIFY(QFile::copy(":/help/index.html", folder.filePath("help/index.html")));
        QCOMPARE(helpIndexUrl(folder.path()),
                 QUrl::fromLocalFile(folder.filePath("help/index.html")).toString());
    }
};

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
