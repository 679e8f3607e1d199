#include "OptionDialogs.h"

#include "Guard.h"
#include "OptionDialog.h"
#include "OptionTable.h"
#include "PageHost.h"

namespace cvi {

bool openOptionDialog(PageHost& main, const PageContext& page, const QString& valueBox) {
    if (valueBox == QStringLiteral("lblDisplay") || valueBox == QStringLiteral("lblRS232")) {
        BackgroundModeDialog dialog(main, page, main.window());
        main.op().runModal(dialog);
        return true;
    }
    const options::Member* member = options::memberForBox(valueBox);
    if (!member) return false;
    OptionDialog dialog(main, page, *member, main.window());
    main.op().runModal(dialog);
    // The write goes out once the dialog has closed.
    if (dialog.confirmed()) guarded(main.op(), [&dialog] { dialog.apply(); });
    return true;
}

} // namespace cvi
