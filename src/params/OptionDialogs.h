#pragma once

#include "PageFrame.h"

#include <QString>

namespace cvi {

class PageHost;

// Opens, modally, the dialog that owns the coded parameter shown in the value box `valueBox` of
// `page` (the Configuration page): "lblAR", "lblBL", "lblDD", "lblDP", "lblIC", "lblIM", "lblZL", "lblZS",
// "lblDisplay", "lblRS232" (both the Background Mode dialog) or "lblUnit" (the Units dialog).
// Every dialog but the Background Mode one sends its command itself and updates the page
// (value box, lblCommand, txtResponseBox, PnlMiddleMessage); the Background Mode dialog leaves
// its write in lblCommand. DialogResult is left as the dialog set it:
//   OK      "OK" from frmDP, frmIC, frmIM, frmZL, frmZS, frmMD, frmUnits; frmDD, frmAR and
//           frmBaudLock leave it (frmBaudLock has broadcast the write and set lblBL already);
//   Cancel  "Cancel" from frmDD, frmIC, frmZL, frmZS, frmMD; the others leave it.
// OK with no option selected (or frmMD without a readable MD number) closes the dialog like
// Cancel, sends nothing and leaves DialogResult. frmMD's OK leaves the hourglass pointer on for
// the page's broadcast; every other dialog restores the pointer before it returns.
// Returns false, doing nothing, for a box that has no dialog.
bool openOptionDialog(PageHost& host, const PageContext& page, const QString& valueBox);

} // namespace cvi
