#include "OptionDialogs.h"

#include "MainWindow.h"

namespace cvi {

bool openOptionDialog(MainWindow&, const QString&) {
    return false;
}

} // namespace cvi
