#pragma once

#include "Catalogue.h"
#include "Edits.h"
#include "InstrumentRecord.h"
#include "PageFrame.h"
#include "Transactions.h"
#include "ValueBox.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include <functional>
#include <optional>

namespace cvi {

class PageHost;

// Connects a value box to the edit of its parameter (the prompt edit, or the option dialog and its
// follow-up) and to its hover hint, by the box's name in the catalogue. Returns false, doing
// nothing, for a box the catalogue does not edit.
bool attachValueBox(PageHost& host, const PageContext& page, ValueBox* box);

// Opens the dialog that owns a box's parameter. openOptionDialog unless replaced; tests stand in
// for the dialogs with their own opener. An empty opener restores openOptionDialog.
using DialogOpener = std::function<bool(PageHost& host, const PageContext& page, const QString& box)>;
void setDialogOpener(DialogOpener opener);

// The pressure integration time, as shown (the core's rule).
using edit::integrationTimeText;

// Reads T1 on the page and shows the integration time of CurrentPR in lblIntegrationTime.
void showIntegrationTime(PageHost& host, const PageContext& page);

// Shows a coded parameter's reply in its box: the catalogue's text, "???" for a code it does not
// know, "-" without a value.
void showCoded(ValueBox* box, const catalogue::Parameter& parameter, const Reply& reply);

// The Background Mode boxes from an MD value: lblDisplay and lblRS232 of the page. A value
// outside 0 to 3 leaves them as they were.
void showBackgroundMode(const PageContext& page, const std::optional<QString>& value);

// Taring: ZS "0" hides the offset boxes lblZV and lblZVName, "1" and "2" show them.
void showTaring(const PageContext& page, const QString& zs);

} // namespace cvi
