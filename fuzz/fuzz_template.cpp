// The report template as any file named report.rpt may be: the template checks (too large, empty,
// not text) and the filling of its {{Field}} placeholders. A template that is taken holds no NUL
// and is not blank; a failure says why; a filled template holds no placeholder of a known field
// any more, and a value that holds markup stays text (every value is escaped).
//
// The input is the file's contents.
#include "FuzzCheck.h"
#include "ReportDocument.h"
#include "ReportFields.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace cvi;
using fuzz::check;

namespace {
// Values that cannot make a field name with what is around them ('#' is in no name), and that
// hold markup.
QStringList values() {
    QStringList v;
    for (qsizetype i = 0; i < report::fields().size(); ++i)
        v << QStringLiteral("#%1#<b>&\"").arg(i);
    return v;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static QTemporaryDir folder(fuzz::scratchTemplate());
    static const QStringList filled = values();
    static const QStringList names = report::fieldNames();
    static const QRegularExpression placeholder(QStringLiteral("\\{\\{([^{}]*)\\}\\}"));
    check(folder.isValid(), "no temporary folder");
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const QString path = QDir(folder.path()).filePath(report::TemplateName);
    {
        QFile file(path);
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
              "cannot write the template");
    }
    QString why;
    const std::optional<QString> html = report::loadTemplate(path, &why);
    if (!html) {
        check(!why.isEmpty(), "a template refused without a reason");
        check(bytes.contains('\0') || bytes.trimmed().isEmpty() || bytes.size() > (1 << 20),
              "a small text template refused");
        return 0;
    }
    check(!bytes.contains('\0') && !bytes.trimmed().isEmpty(), "a template with NUL or only blanks taken");

    why.clear();
    const std::optional<QString> out = report::fill(*html, filled, &why);
    if (!out) {
        check(!why.isEmpty(), "a template that cannot be filled without a reason");
        return 0;
    }
    check(*out != *html, "a filled template with nothing filled in");
    auto it = placeholder.globalMatch(*out);
    while (it.hasNext())
        check(!names.contains(it.next().captured(1).trimmed()), "a known field left unreplaced");
    check(out->count(QLatin1String("<b>&\"")) == 0, "a value's markup not escaped");
    check(out->count(QLatin1String("<b>")) == html->count(QLatin1String("<b>")),
          "markup added by the values");
    return 0;
}
