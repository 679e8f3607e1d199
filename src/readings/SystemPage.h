#pragma once

#include "Atmo3Page.h"

namespace cvi {

class PageHost;

// Puts the page in its place in the main window and registers its instrument list. The SN and
// VR commands of its Send button are shown in `serialCommands` (the Atmo3 page's command box).
void installSystemPage(PageHost& host, CommandBox serialCommands);

} // namespace cvi
