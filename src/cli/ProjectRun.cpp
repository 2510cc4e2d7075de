#include "cli/ProjectRun.h"

#include "cli/CliRunner.h"
#include "cli/OutputFile.h"
#include "project/ProjectOutputs.h"

namespace tabulex {

namespace {

// Writes one output file through `writer`; the file is refused when it is one of the sources.
bool write_output(const std::string& path, const TProjectIndex& index,
                  void (*writer)(const TProjectIndex&, const TTextSink&), std::FILE* err)
{
    TSourceIds sources;
    for (const TProjectFile& f : index.files())
        sources.add(f.path);
    TOutputFile file;
    const TOutputFile::TOpen opened = file.open(path, sources);
    if (opened == TOutputFile::TOpen::IsASource) {
        std::fprintf(err, "Output %s is one of the sources, not written\n", path.c_str());
        return false;
    }
    if (opened != TOutputFile::TOpen::Ok) {
        std::fprintf(err, "Cannot create file %s\n", path.c_str());
        return false;
    }
    writer(index, [&](std::string_view text) { file.write(text); });
    if (!file.close()) {
        std::fprintf(err, "Cannot write file %s\n", path.c_str());
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
