#include "cli/HtmlRun.h"

#include <memory>

#include "cli/CliRunner.h"
#include "cli/SourceText.h"
#include "html/HtmlSite.h"

namespace tabulex {

int run_html(const std::string& outDir, const std::vector<std::string>& arguments,
             const TSourceExtensions& extensions, const TProjectOptions& project, unsigned jobs,
             const TListingSettings& settings, std::FILE* err)
{
    int status = CliOk;
    const auto report = [&](const std::string& message) {
        std::fprintf(err, "%s\n", message.c_str());
        status = CliSourceFailed;
    };
    TProjectInput input;
    for (TSourceFile& source : collect_sources(arguments, extensions, report))
        input.paths.push_back(std::move(source.path));
    auto index = std::make_shared<const TProjectIndex>(build_project_index(input, project));
    for (const TProjectFile& file : index->files()) {
        if (!file.readable) {
            report("Cannot open file " + file.path);
            continue;
        }
        // A NUL byte ends a page's listing early: the page is still written, the source
        // reported.
        if (const std::string nul = nul_byte_message(file.path, file.bytes); !nul.empty())
            report(nul);
    }
    THtmlSite site(index, settings);
    site.write(outDir, jobs, [&](const std::string& path, const std::string& reason) {
        report("Cannot create file " + path + ": " + reason);
    });
    return status;
}

}  // namespace tabulex
