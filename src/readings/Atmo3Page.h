#pragma once

#include <QString>

#include <functional>

namespace cvi {

class PageHost;

// Shows a command text in the Atmo3 page's command box.
using CommandBox = std::function<void(const QString& text)>;

// Puts the page in its place in the main window and registers its instrument list. Returns the
// way to the page's command box, where the System page's Send shows its SN and VR commands.
CommandBox installAtmo3Page(PageHost& host);

} // namespace cvi
