#pragma once

#include "ReportFields.h"

#include <QDateTime>
#include <QDialog>

class QDateTimeEdit;
class QLineEdit;

namespace cvi {

class PageHost;
struct AppState;

// frmReportInfo, "Report Information": the three heading texts of the report (txtCompanyName,
// txtInstrumentModel, txtPressureRange), empty at each opening, the time from which the journal's
// changes are listed (dtpChangesSince, the program's start unless changed), and CmdOK. Closing it any other
// way than OK asks for no report.
class ReportInfoDialog : public QDialog {
    Q_OBJECT
public:
    ReportInfoDialog(const AppState& state, QWidget* parent = nullptr);

    bool confirmed() const { return confirmed_; }
    report::Heading heading() const;
    // The report lists the journal's changes of the instrument made from then on.
    QDateTime changesSince() const;

private:
    QDateTimeEdit* since_ = nullptr;
    QLineEdit* company_ = nullptr;
    QLineEdit* model_ = nullptr;
    QLineEdit* range_ = nullptr;
    bool confirmed_ = false;
};

// frmPrintReport, "Print Report": where the report goes. cmdPrint opens the print dialog (a
// printer or a PDF file), cmdPreview the print preview, cmdSavePdf asks for a file name and
// writes the PDF without any printer; CmdCancel prints nothing.
class ReportOutputDialog : public QDialog {
    Q_OBJECT
public:
    enum class Choice { None, Print, Preview, Pdf };

    ReportOutputDialog(const AppState& state, QWidget* parent = nullptr);
    Choice choice() const { return choice_; }

private:
    Choice choice_ = Choice::None;
};

// mnuPrint: the Report Information dialog, then the record of the report database and the
// report on the chosen output. No instrument is contacted.
void installReport(PageHost& main);
void printReport(PageHost& main);

} // namespace cvi
