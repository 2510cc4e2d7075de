#include "cli/HtmlRun.h"

#include "analysis/FileBytes.h"
#include "cli/CliRunner.h"
#include "html/HtmlSite.h"

namespace tabulex {

int run_html(const std::string& outDir, const std::vector<std::string>& arguments,
             const TSourceExtensions& extensions, unsigned jobs, const TListingSettings& settings,
             std::FILE* err)
{
    int status = CliOk;
    const auto report = [&](const std::string& message) {
        std::fprintf(err, "%s\n", message.c_str());
        status = CliSourceFailed;
    };
    std::vector<std::string> paths;
    for (TSourceFile& source : collect_sources(arguments, extensions, report))
        paths.push_back(std::move(source.path));
    THtmlSite site(settings);
    site.add(paths, jobs, report);
    site.write(outDir, jobs, [&](const std::string& path, const std::string& reason) {
        report(reason.empty() ? EFOpenError(path).what()
                              : "Cannot create file " + path + ": " + reason);
    });
    return status;
}

}  // namespace tabulex
