#include "cli/HtmlRun.h"

#include "analysis/FileBytes.h"
#include "cli/CliRunner.h"
#include "cli/SourceText.h"
#include "html/HtmlSite.h"
#include "html/ParallelFor.h"

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
    // A NUL byte ends a page's listing early: the page is still written, the source reported.
    std::vector<std::string> nulMessages(paths.size());
    parallel_for(paths.size(), jobs, [&](std::size_t i) {
        try {
            const TSourceText text(paths[i]);
            nulMessages[i] = nul_byte_message(paths[i], text.bytes());
        } catch (const std::exception&) {
            // Unreadable sources were reported when they were added.
        }
    });
    for (const std::string& message : nulMessages)
        if (!message.empty())
            report(message);
    site.write(outDir, jobs, [&](const std::string& path, const std::string& reason) {
        report(reason.empty() ? EFOpenError(path).what()
                              : "Cannot create file " + path + ": " + reason);
    });
    return status;
}

}  // namespace tabulex
