#pragma once
#include <string>
#include <unordered_set>

#include "cli/SourceCollection.h"

namespace tabulex {

/// Gives out the output paths of a batch run under one output folder, never the same twice.
///
/// A file argument's output is its file name with the extension replaced by the suffix
/// ("src/Unit1.pas" -> "Unit1.txt"), as the desktop program proposes when saving. A source found
/// below a folder argument keeps its folders and its whole file name, the suffix appended
/// ("sub/Unit1.pas" -> "sub/Unit1.pas.txt", "sub/Unit1.dfm" -> "sub/Unit1.dfm.txt"), so a unit and
/// its form both keep an output and each output names its source. A name given out before in the
/// run (compared without regard to ASCII case, for file systems that ignore it) gets "~2", "~3",
/// ... before the suffix, the first number that makes it new.
class TOutputNames {
public:
    /// `folder` is the output folder; `suffix` the outputs' extension with its dot (".txt").
    TOutputNames(std::string folder, std::string suffix);

    /// The output path for `source`: the output folder joined with the name described above.
    std::string next(const TSourceFile& source);

private:
    bool take(const std::string& relative);

    std::string folder_;
    std::string suffix_;
    std::unordered_set<std::string> given_;  // relative names, ASCII lower case
};

}  // namespace tabulex
