#include "report/form/ReportPreparation.h"

#include "report/form/r_dif.h"

namespace tabulex {

std::string report_title_for(const std::string& path)
{
    return "Vis\xE3o Pr\xE9via : " + path;
}

void prepare_report_for(TF_dif& form, const std::string& path)
{
    form.RpMemo1->ClearLines();
    form.Report1->ReportTitle = report_title_for(path);
    form.RpLabel5->SetCaption(path);
}

}  // namespace tabulex
