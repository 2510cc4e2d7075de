#include "HtmlRun.h"

#include "CliRunner.h"
#include "FileBytes.h"
#include "HtmlSite.h"

namespace tabulex {

int run_html(const std::string& outDir, const std::vector<std::string>& sources, const TListingSettings& settings,
             std::FILE* err)
{
    int status = CliOk;
    THtmlSite site(settings);
    for (const std::string& source : sources) {
        try {
            site.add(source);
        } catch (const EFOpenError& failure) {
            std::fprintf(err, "%s\n", failure.what());
            status = CliSourceFailed;
        }
    }
    const bool complete = site.write(outDir, [err](const std::string& path) {
        std::fprintf(err, "Cannot create file %s\n", path.c_str());
    });
    return complete ? status : CliSourceFailed;
}

}  // namespace tabulex
