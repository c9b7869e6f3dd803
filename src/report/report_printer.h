// The print commands of the console. A print lays out the pages of its channel groups from the
// console's fields and plots as they stand (a test just run, or stored tests put back by the
// record display) and sends them to a printer chosen in the print dialog, which offers a PDF file
// too; where no printer is installed the pages go to a PDF file in the user's documents folder,
// and the operator is told its path.
#pragma once

#include "acquisition/plot_axes.h"
#include "common/prompter.h"
#include "report/report_layout.h"
#include "settings/settings_store.h"
#include "state/console_state.h"

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <functional>

namespace varnot {

class ReportPrinter {
  public:
    // `state` gives what a print shows of each channel: the fields and kind of its test.
    ReportPrinter(std::function<ConsoleState()> state, const Plots& plots, const SettingsStore& settings,
                  std::function<Prompter&()> prompter);

    // print13, print46, print16, or print2 (the range of the last print). False for other keys.
    bool command(QStringView key);
    void print(PrintRange range);
    PrintRange lastRange() const { return last_; }
    // The pages a print of the range lays out now.
    std::vector<ReportPage> pages(PrintRange range) const;

    // What the machine offers; tests put their own in place.
    std::function<bool()> printerInstalled;
    std::function<QString()> documentsFolder;
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };

  private:
    void toPdfFile(const std::vector<ReportPage>& pages, PrintRange range);
    void toPrinter(const std::vector<ReportPage>& pages, PrintRange range);

    std::function<ConsoleState()> state_;
    const Plots& plots_;
    const SettingsStore& settings_;
    std::function<Prompter&()> prompter_;
    PrintRange last_{0, 0};
};

}  // namespace varnot
