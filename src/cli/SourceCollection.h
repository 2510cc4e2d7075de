#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulex {

/// One source file a batch command reads.
struct TSourceFile {
    /// The path to open: a file argument as given, or a folder argument joined with `relative`.
    std::string path;
    /// For a source found below a folder argument, its path below that folder with '/' between
    /// the parts ("sub/Unit1.pas"), used to mirror the folders under an output folder. Empty for
    /// a file argument.
    std::string relative;

    bool fromFolder() const { return !relative.empty(); }
};

/// The extensions chosen when a folder is walked: lower case, each with its leading dot.
using TSourceExtensions = std::vector<std::string>;

/// `.pas .pp .p .dpr .lpr .dfm .lfm`.
TSourceExtensions default_source_extensions();

/// Reads a `--ext` value: names separated by commas, with or without their dot, in any case
/// ("pas,INC", ".pas,.inc"). Returns no value and sets `error` for an empty name or one holding
/// '/' or a NUL.
std::optional<TSourceExtensions> parse_source_extensions(std::string_view list, std::string& error);

/// Whether the file name of `path` ends in one of `extensions`, without regard to ASCII case.
bool has_source_extension(std::string_view path, const TSourceExtensions& extensions);
/// Whether the file name of `path` ends in one of the default source extensions: an existing
/// file of such a name is never replaced by an output, which would most likely be a source
/// given in the output's place ("--pdf Unit1.pas Unit1.pdf").
bool named_as_source(std::string_view path);

/// Turns the source arguments of a command into the sources to read, in argument order.
///
/// A folder argument (or a link to one) stands for every regular file below it, recursively,
/// whose name ends in one of `extensions`; those come in byte order of their paths. Links are
/// followed, but each folder is read once however many paths lead to it, under the first of
/// them in byte order, so that links that loop or fan out cannot multiply the walk. Any other
/// argument is taken as one source whatever its name, also when it does not exist (reading it
/// then reports the failure), so that messages stay in argument order.
///
/// A folder that cannot be read, or a folder argument that holds no source, is reported to
/// `onError` with a one-line message (no newline) and the walk goes on. Messages come before the
/// function returns, in the order the folders are met.
std::vector<TSourceFile>
collect_sources(const std::vector<std::string>& arguments, const TSourceExtensions& extensions,
                const std::function<void(const std::string& message)>& onError);

}  // namespace tabulex
