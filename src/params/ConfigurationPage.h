#pragma once

#include "EditFlow.h"

#include <QWidget>

#include <optional>

class QComboBox;
class QGroupBox;
class QPushButton;

namespace cvi {

class PageHost;
class ResponseLog;

// The "C&onfiguration" page: one instrument's configuration, read by Start into value boxes
// grouped in frames, each box edited by a click; the taring refresh and the reply log.
class ConfigurationPage : public QWidget {
    Q_OBJECT
public:
    explicit ConfigurationPage(PageHost& host);

    QComboBox* idList() const { return ids_; }
    PageContext context() const;

    // The link's baud rate and parity, which the page shows but does not read.
    void showLinkSettings();
    // cboConfiguration: an instrument was chosen.
    void selectInstrument();
    // cmdConfigurationStart: read the page.
    void start();
    // cmdUpdate: read the taring state again.
    void updateTaring();
    // cmdOverpressure ("Beep (BP)"): the instrument beeps.
    void beep();

private:
    void build();
    ValueBox* addBox(QGroupBox* frame, const char* name, const QString& caption, int row, int column = 0);
    ValueBox* box(const char* name) const;
    void setBox(const char* name, const QString& text) const;

    std::optional<QString> valueOf(const Reply& reply, const QString& mnemonic);
    // Shows a coded parameter's reply in its box as the catalogue shows it ("-" without a reply).
    std::optional<QString> showInto(const QString& mnemonic, const Reply& reply);
    // A Start read has come: its box, and what depends on it.
    void showRead(const QString& mnemonic, const Reply& reply, bool& prRead);
    void showOutputType();
    void setUserFactorShown(bool shown);

    PageHost& main_;
    QComboBox* ids_ = nullptr;
    QLabel* command_ = nullptr;
    ResponseLog* log_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* update_ = nullptr;
    QPushButton* autoNumber_ = nullptr;
    QPushButton* beep_ = nullptr;
    QGroupBox* outputFrame_ = nullptr;
    QList<ValueBox*> boxes_;
};

} // namespace cvi
