#include "cli/ProjectRun.h"

#include "cli/CliRunner.h"
#include "files/OutputFile.h"
#include "project/ProjectOutputs.h"

namespace tabulex {

namespace {

// Writes one output file through `writer`, whole or not at all; the file is refused when it is
// one of the sources.
bool write_output(const std::string& path, const TProjectIndex& index,
                  void (*writer)(const TProjectIndex&, const TTextSink&), std::FILE* err)
{
    TSourceIds sources;
    for (const TProjectFile& f : index.files())
        sources.add(f.path);
    TOutputFile file;
    if (!file.open(path, &sources)) {
        std::fprintf(err, "%s\n", file.message().c_str());
        return false;
    }
    writer(index, [&](std::string_view text) { file.write(text); });
    if (!file.close()) {
        std::fprintf(err, "%s\n", file.message().c_str());
        return false;
    }
    return true;
}

}  // namespace

int run_project(const TCliOptions& options, std::FILE* out, std::FILE* err)
{
    TProjectInput input{options.sources};
    const TProjectIndex index = build_project_index(input, options.project);
    int status = CliOk;
    for (const TProjectFile& f : index.files())
        if (!f.readable) {
            std::fprintf(err, "Cannot open file %s\n", f.path.c_str());
            status = CliSourceFailed;
        }
    if (!options.indexPath.empty() &&
        !write_output(options.indexPath, index, write_index_json, err))
        status = CliSourceFailed;
    if (!options.tagsPath.empty() && !write_output(options.tagsPath, index, write_tags, err))
        status = CliSourceFailed;
    if (options.check)
        write_check_notes(
            index, [&](std::string_view text) { std::fwrite(text.data(), 1, text.size(), out); });
    return status;
}

}  // namespace tabulex
