#include "ReportDocument.h"

#include "FileFault.h"
#include "ReportFields.h"
#include "SettingsFile.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>

// The built-in template lives in this static library's resources, which the linker keeps only
// when they are named.
static void initReportResources() {
    Q_INIT_RESOURCE(report);
}

namespace cvi::report {

namespace {
const QString BuiltIn = QStringLiteral(":/report/report.rpt");

// Templates are small; a larger file is not one.
constexpr qint64 TemplateLimit = 1 << 20;

const QRegularExpression& placeholder() {
    static const QRegularExpression re(QStringLiteral("\\{\\{([^{}]*)\\}\\}"));
    return re;
}

std::optional<QString> readText(const QString& fileName, QString* why) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        if (why) *why = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.read(TemplateLimit + 1);
    if (bytes.size() > TemplateLimit) {
        if (why) *why = QStringLiteral("the file is larger than a template can be");
        return std::nullopt;
    }
    if (bytes.trimmed().isEmpty()) {
        if (why) *why = QStringLiteral("the file is empty");
        return std::nullopt;
    }
    // A report file of another program (a binary layout under the same name) is no template.
    if (bytes.contains('\0')) {
        if (why) *why = QStringLiteral("it is not a text file");
        return std::nullopt;
    }
    return QString::fromUtf8(bytes);
}
} // namespace

QString templatePath(const QString& programFolder) {
    initReportResources();
    QStringList folders = {programFolder};
    // Installed beside the executable in a folder the program may not write to.
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath()
                << installedDataFolder(QCoreApplication::applicationDirPath());
    for (const QString& folder : folders) {
        const QString file = QDir(folder).filePath(TemplateName);
        if (QFileInfo::exists(file)) return file;
    }
    return BuiltIn;
}

std::optional<QString> loadTemplate(const QString& path, QString* why) {
    return readText(path, why);
}

std::optional<QString> fill(const QString& html, const QStringList& values, QString* why) {
    const QStringList names = fieldNames();
    QString out;
    qsizetype done = 0;
    auto it = placeholder().globalMatch(html);
    while (it.hasNext()) {
        const auto m = it.next();
        const qsizetype index = names.indexOf(m.captured(1).trimmed());
        if (index < 0 || index >= values.size()) {
            if (why) *why = QStringLiteral("it names no report field \"%1\"").arg(m.captured(1));
            return std::nullopt;
        }
        out += QStringView(html).mid(done, m.capturedStart() - done);
        out += values[index].toHtmlEscaped();
        done = m.capturedEnd();
    }
    if (done == 0) {
        if (why) *why = QStringLiteral("it names no report field");
        return std::nullopt;
    }
    out += QStringView(html).mid(done);
    return out;
}

QString withChanges(const QString& html, const QList<journal::Row>& rows, const QDateTime& since) {
    QString section =
        QStringLiteral("<h2>Changes since %1</h2>\n").arg(journal::isoTime(since).toHtmlEscaped());
    if (rows.isEmpty()) {
        section += QStringLiteral("<p>No changes were written to this instrument.</p>\n");
    } else {
        section += QStringLiteral("<table width=\"100%\" cellspacing=\"0\" cellpadding=\"2\" border=\"1\">\n"
                                  "<tr><th align=\"left\">Parameter</th><th align=\"left\">Value before</th>"
                                  "<th align=\"left\">Value after</th><th align=\"left\">Time</th></tr>\n");
        // Oldest first: the values as found, then each change up to the values as left.
        for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
            const QString after =
                it->confirmed ? it->written : QStringLiteral("%1 (not confirmed)").arg(it->written);
            section += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td></tr>\n")
                           .arg(it->parameter.toHtmlEscaped(),
                                (it->before.isEmpty() ? QStringLiteral("-") : it->before).toHtmlEscaped(),
                                after.toHtmlEscaped(), it->time.toHtmlEscaped());
        }
        section += QStringLiteral("</table>\n");
    }
    const qsizetype end = html.lastIndexOf(QStringLiteral("</body>"), -1, Qt::CaseInsensitive);
    if (end < 0) return html + section;
    return html.left(end) + section + html.mid(end);
}

QString footer(const QDateTime& made) {
    return QStringLiteral("Made %1 with Corvanel Interactive %2")
        .arg(made.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QLatin1Char(' ') +
                 journal::isoTime(made).right(6),
             QStringLiteral(CVI_VERSION));
}

bool paint(const QString& html, QPagedPaintDevice& device, const QString& footer) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    QTextDocument document;
    document.documentLayout()->setPaintDevice(&device);
    document.setHtml(html);
    document.setMetaInformation(QTextDocument::DocumentTitle, Title);
    const QRectF area = device.pageLayout().paintRectPixels(device.logicalDpiX());
    // The foot of each page keeps a line and a half of the document's font for the footer.
    const QFont font = document.defaultFont();
    const double footHeight = footer.isEmpty() ? 0.0 : QFontMetricsF(font, &device).height() * 1.5;
    const QRectF page(area.topLeft(), QSizeF(area.width(), area.height() - footHeight));
    document.setPageSize(page.size());
    const int pages = document.pageCount();
    bool ok = true;
    for (int i = 0; i < pages && ok; ++i) {
        if (i > 0) ok = device.newPage();
        const QRectF view(0, i * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        document.drawContents(&painter, view);
        painter.restore();
        if (!footer.isEmpty()) {
            painter.save();
            painter.setFont(font);
            painter.drawText(QRectF(0, page.height(), page.width(), footHeight),
                             Qt::AlignLeft | Qt::AlignBottom, footer);
            painter.drawText(QRectF(0, page.height(), page.width(), footHeight),
                             Qt::AlignRight | Qt::AlignBottom,
                             QStringLiteral("Page %1 of %2").arg(i + 1).arg(pages));
            painter.restore();
        }
    }
    return painter.end() && ok;
}

bool writePdf(const QString& html, const QString& fileName, QString* why, const QString& footer) {
    // Drawn in memory first: the PDF writer does not look at what its device takes, so a full disk
    // would leave a cut file reported as written.
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    bool painted = false;
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(Title);
        writer.setCreator(QStringLiteral("Corvanel Interactive " CVI_VERSION));
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        painted = paint(html, writer, footer);
    }
    if (!painted) {
        if (why) *why = QStringLiteral("the PDF could not be drawn");
        return false;
    }
    // The old file is replaced only once the new one is whole.
    return replaceFile(fileName, pdf.data(), why);
}

} // namespace cvi::report
