#pragma once

#include <QMap>
#include <QMultiHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

namespace cvi {

// One parameter as the pages last read or wrote it: the instrument's reply line as received
// (CR LF included; empty when nothing came back) and the text a value box shows for it ("-" for
// a missing value, the catalogue's name for a code).
struct ParameterReading {
    QString reply;
    QString shown;
};

// What the program knows of the chosen instrument: filled by the pages' reads and writes, read
// by the option dialogs, the report and the command-line tool. Parameters are keyed by mnemonic
// ("SN", "VR", "PR", "C1", ...); beside them, the text every value box of the pages shows, keyed
// by the box's name ("lblPR", "lblDisplay", "lblIntegrationTime", ...), which is what the windows
// put on screen.
class InstrumentRecord {
public:
    QString id; // the two-character identifier

    // A new instrument: its parameters are forgotten. The boxes are emptied by their pages.
    void clear(const QString& newId = QString()) {
        id = newId;
        values_.clear();
    }
    void set(const QString& mnemonic, const QString& reply, const QString& shown) {
        values_.insert(mnemonic, ParameterReading{reply, shown});
    }
    // Changes what is shown and keeps the reply it came from.
    void setShown(const QString& mnemonic, const QString& shown) { values_[mnemonic].shown = shown; }
    void forget(const QString& mnemonic) { values_.remove(mnemonic); }
    bool has(const QString& mnemonic) const { return values_.contains(mnemonic); }
    // The text shown for a parameter; empty when it was never read.
    QString shown(const QString& mnemonic) const { return values_.value(mnemonic).shown; }
    QString reply(const QString& mnemonic) const { return values_.value(mnemonic).reply; }
    QStringList mnemonics() const { return values_.keys(); }

    // What a value box shows; empty for a box never filled. Every box of that name follows.
    void showBox(const QString& box, const QString& text) {
        boxes_.insert(box, text);
        for (auto it = watchers_.find(box); it != watchers_.end() && it.key() == box;) {
            if (!it->guard) {
                it = watchers_.erase(it);
                continue;
            }
            it->shown(text);
            ++it;
        }
    }
    // `shown` runs with the new text whenever the box `box` is given one, for as long as `guard`
    // lives.
    void watchBox(const QString& box, QObject* guard, std::function<void(const QString&)> shown) {
        watchers_.insert(box, Watcher{QPointer<QObject>(guard), std::move(shown)});
    }
    QString box(const QString& box) const { return boxes_.value(box); }
    QStringList boxNames() const { return boxes_.keys(); }

    QString serialNumber() const { return shown(QStringLiteral("SN")); }
    QString version() const { return shown(QStringLiteral("VR")); }
    // Instruments whose version begins with "M" have no 16-bit output, overpressure or taring.
    bool modelM() const { return version().startsWith(QLatin1Char('M')); }

private:
    struct Watcher {
        QPointer<QObject> guard;
        std::function<void(const QString&)> shown;
    };
    QMap<QString, ParameterReading> values_;
    QMap<QString, QString> boxes_;
    QMultiHash<QString, Watcher> watchers_;
};

} // namespace cvi
