// cvi.ini as any file may be: whatever the file holds, the stored port is a position 0..3, and
// the position is the one the first line names only when that line reads as a whole number from
// 1 to 4. Then the writer: the last character of an arbitrary port name written and read back.
//
// The input is the file's contents; its last byte also ends the port name written afterwards.
#include "FuzzCheck.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace cvi;
using fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static QTemporaryDir folder(fuzz::scratchTemplate());
    check(folder.isValid(), "no temporary folder");
    const QByteArray bytes = fuzz::bytesOf(data, size);
    {
        QFile file(settings_file::path(folder.path()));
        check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
              "cannot write the settings file");
    }
    const int index = settings_file::storedPortIndex(folder.path());
    check(index >= 0 && index <= 3, "stored port outside 0..3");

    // What the first line says, read the plain way: digits only, blanks around allowed.
    const qsizetype end = bytes.indexOf('\n');
    QByteArray first = (end < 0 ? bytes : bytes.left(end));
    first.replace('\r', QByteArray());
    first = first.trimmed();
    if (first.size() == 1 && first[0] >= '1' && first[0] <= '4' && (end < 0 ? bytes.size() : end) < 255)
        check(index == first[0] - '1', "a first line 1..4 not taken");
    if (index != 0) {
        // Anything else picks the first port; a chosen port needs its digit in the line.
        check(first.contains(static_cast<char>('1' + index)), "a port chosen from a line without its digit");
    }

    // The writer keeps the name's last character; reading it back gives that port or the first.
    const QString name = QStringLiteral("COM ") + QString::fromLatin1(bytes.right(1));
    check(settings_file::storePort(folder.path(), name), "cannot store the port");
    const int back = settings_file::storedPortIndex(folder.path());
    const char last = bytes.isEmpty() ? ' ' : bytes.back();
    check(back == (last >= '1' && last <= '4' ? last - '1' : 0), "the stored port does not read back");
    return 0;
}
