#pragma once

#include <QString>

namespace cvi {

class MainWindow;

// Gives every instrument of the loop a new identifier in one broadcast: the operator names the
// first one, the instruments count on from it in loop order, and the program rebuilds its list of
// identifiers from that number and the instrument count.
void renumberLoop(MainWindow& main);

// The question asked for the first identifier.
QString renumberPrompt();
// The renumbering command for a first identifier of 1..98: "*99" + (first - 1) as two digits + "ID".
QString renumberCommand(int firstId);

} // namespace cvi
