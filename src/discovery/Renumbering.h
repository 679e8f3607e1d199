#pragma once

#include <QString>

class QLabel;

namespace cvi {

class PageHost;

// Gives every instrument of the loop a new identifier in one broadcast: the operator names the
// first one, the instruments count on from it in loop order, and the program rebuilds its list of
// identifiers from that number and the instrument count. `command` is the label that shows the
// command (the Configuration page's lblCommand).
void renumberLoop(PageHost& host, QLabel* command);

// The question asked for the first identifier.
QString renumberPrompt();

} // namespace cvi
