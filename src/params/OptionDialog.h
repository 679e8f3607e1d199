#pragma once

#include "OptionTable.h"
#include "PageFrame.h"

#include <QDialog>

#include <memory>

class QLabel;
class QPushButton;

namespace cvi {

class Link;
class PageHost;

// One of the option dialogs of the Configuration page (frmDD, frmAR, frmDP, frmIC, frmIM, frmZL,
// frmBaudLock, frmZS, frmUnits): one option button per code, OK (CmdOK) and Cancel (CmdCancel),
// and its own serial object. At load the option matching what the page box shows (as the
// instrument record holds it) is selected.
// The member of the option table says what differs from one dialog to the next.
class OptionDialog : public QDialog {
    Q_OBJECT
public:
    // `page` is the page whose box opened the dialog: its boxes, command label and response box
    // show what the dialog does.
    OptionDialog(PageHost& host, const PageContext& page, const options::Member& member,
                 QWidget* parent = nullptr);
    ~OptionDialog() override;

    const options::Member& member() const { return member_; }
    // The code of the selected option; empty while none is selected.
    const QString& code() const { return code_; }
    // OK was pressed with an option selected.
    bool confirmed() const { return confirmed_; }

    // The OK sequence: the write, the page's updates and the messages. Runs once the dialog
    // has closed. Throws PortError when the port cannot be used.
    void apply();

private:
    void okClicked();
    void cancelClicked();
    void applyWrite();
    void applyBaudLock();
    void applyZeroSet();
    void applyUnits();
    // Shows the echo of a write in the page box; false when the reply holds no value.
    bool showEcho(const QString& reply);
    // The page box's text for a code or value: the table's name, the value itself where the
    // table has no names, or empty for a value the table does not know.
    QString shownAs(const QString& value) const;
    // A page box shows a text (and, with a reply, the parameter it came from).
    void show(const QString& box, const QString& text, const QString& mnemonic = {},
              const QString& reply = {});
    void setSwitches(const QList<options::Switch>& switches);
    QString shown(const QString& box) const;

    PageHost& main_;
    PageContext page_;
    const options::Member& member_;
    std::unique_ptr<Link> comm1_;
    QString code_;
    bool confirmed_ = false;
};

// frmMD, the Background Mode dialog: toggle buttons for the display and the continuous RS-232
// output, the resulting MD number, and a warning while RS-232 is on. It has no serial object:
// OK leaves the MD write in the page's lblCommand for the page to send to the loop.
class BackgroundModeDialog : public QDialog {
    Q_OBJECT
public:
    BackgroundModeDialog(PageHost& host, const PageContext& page, QWidget* parent = nullptr);

    // The MD number shown ("0" to "3"; the page's own text until a button is toggled).
    QString mode() const;

private:
    void toggle(QPushButton* button);
    void okClicked();
    void cancelClicked();
    void showWarning();

    PageHost& main_;
    PageContext page_;
    QPushButton* display_ = nullptr;
    QPushButton* rs232_ = nullptr;
    QLabel* mode_ = nullptr;
    QLabel* warning_ = nullptr;
};

} // namespace cvi
