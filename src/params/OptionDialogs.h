#pragma once

#include <QString>

namespace cvi {

class MainWindow;

// Opens, modally, the dialog that owns the coded parameter shown in the Configuration page's
// value box `valueBox`: "lblAR", "lblBL", "lblDD", "lblDP", "lblIC", "lblIM", "lblZL", "lblZS",
// "lblDisplay", "lblRS232" (both the Background Mode dialog) or "lblUnit" (the Units dialog).
// Every dialog but the Background Mode one sends its command itself and updates the page
// (value box, lblCommand, txtResponseBox, PnlMiddleMessage); the Background Mode dialog leaves
// its write in lblCommand. DialogResult is left as the dialog set it.
// Returns false, doing nothing, for a box that has no dialog.
bool openOptionDialog(MainWindow& main, const QString& valueBox);

} // namespace cvi
