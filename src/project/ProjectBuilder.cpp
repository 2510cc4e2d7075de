#include "project/ProjectIndex.h"

namespace tabulex {

class TProjectBuilder {
public:
    static TProjectIndex build(const TProjectInput&, const TProjectOptions&)
    {
        TProjectIndex index;
        index.finish();
        return index;
    }
};

TProjectIndex build_project_index(const TProjectInput& input, const TProjectOptions& options)
{
    return TProjectBuilder::build(input, options);
}

}  // namespace tabulex
