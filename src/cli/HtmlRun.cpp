#include "HtmlRun.h"

#include "CliRunner.h"
#include "FileBytes.h"
#include "HtmlSite.h"

namespace tabulex {

int run_html(const std::string& outDir, const std::vector<std::string>& arguments, const TSourceExtensions& extensions,
             const TListingSettings& settings, std::FILE* err)
{
    int status = CliOk;
    const auto report = [&](const std::string& message) {
        std::fprintf(err, "%s\n", message.c_str());
        status = CliSourceFailed;
    };
    THtmlSite site(settings);
    for (const TSourceFile& source : collect_sources(arguments, extensions, report)) {
        try {
            site.add(source.path);
        } catch (const EFOpenError& failure) {
            report(failure.what());
        }
    }
    site.write(outDir, [&](const std::string& path) { report("Cannot create file " + path); });
    return status;
}

}  // namespace tabulex
