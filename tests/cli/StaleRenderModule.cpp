// A report module as an older build left it: an entry point without the interface version.
// The batch command must refuse it rather than call it.
#include <cstddef>
#include <cstdio>

extern "C" int tabulex_render_report(int, const char* outPath, const char*, const char*,
                                     std::size_t, const void*, char*, std::size_t)
{
    if (std::FILE* out = std::fopen(outPath, "wb"))
        std::fclose(out);
    return 0;
}
