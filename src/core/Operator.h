#pragma once

#include <QString>

namespace cvi {

// Everything that asks the operator something or tells him something in a box of its own.
// Production shows Qt dialogs; tests script the answers and record what was shown. Nothing in
// the core calls it: transactions return results and the windows decide what to show.
class Operator {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };

    virtual ~Operator() = default;

    virtual void message(const QString& text, const QString& title, Icon icon) = 0;
    // Returns the typed text; an empty text when the operator cancelled.
    virtual QString input(const QString& prompt, const QString& title, const QString& defaultAnswer) = 0;
    // Returns the chosen file name; empty when cancelled.
    virtual QString saveFileName(const QString& title, const QString& filter, const QString& folder) = 0;
    // Returns the chosen existing file; empty when cancelled.
    virtual QString openFileName(const QString& /*title*/, const QString& /*filter*/,
                                 const QString& /*folder*/) {
        return {};
    }
    // Opens the program's help in a window of its own; false when it could not be shown.
    virtual bool openHelp(const QString& indexPath) = 0;
};

// The program's title in message boxes that carry no title of their own.
inline const QString ProgramTitle = QStringLiteral("Corvanel Interactive");

} // namespace cvi
