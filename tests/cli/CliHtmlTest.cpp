#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "cli/CliRunner.h"

namespace fs = std::filesystem;
using namespace tabulex;

namespace {

int runCli(const std::vector<std::string>& args, std::string& err)
{
    std::FILE* out = std::tmpfile();
    std::FILE* errors = std::tmpfile();
    const int status = run_cli(args, out, errors);
    std::rewind(errors);
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, errors)) > 0)
        err.append(buffer, n);
    std::fclose(out);
    std::fclose(errors);
    return status;
}

TEST(CliHtml, FoldersFilesAndFailures)
{
    const fs::path dir =
        fs::temp_directory_path() / ("tabulex_cli_html_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "tree" / "sub");
    std::ofstream(dir / "tree" / "sub" / "A.pas")
        << "unit A;\ninterface\nvar X: Integer;\nimplementation\nend.\n";
    std::ofstream(dir / "tree" / "notes.txt") << "not a source\n";
    std::ofstream(dir / "B.pas")
        << "unit B;\ninterface\nuses A;\nimplementation\nbegin X := 1; end.\n";

    std::string err;
    EXPECT_EQ(runCli({"--html", (dir / "out").string(), (dir / "tree").string(),
                      (dir / "B.pas").string(), (dir / "missing.pas").string()},
                     err),
              CliSourceFailed);
    EXPECT_EQ(err, "Cannot open file " + (dir / "missing.pas").string() + "\n");
    // Pages mirror the folders below the one the sources share.
    for (const char* name :
         {"index.html", "tree/sub/A.pas.html", "B.pas.html", "tabulex.css", "tabulex.js"})
        EXPECT_TRUE(fs::exists(dir / "out" / name)) << name;
    EXPECT_FALSE(fs::exists(dir / "out" / "tree" / "notes.txt.html"));

    err.clear();
    EXPECT_EQ(runCli({"--html", (dir / "out").string(), "--out-dir", (dir / "x").string(),
                      (dir / "B.pas").string()},
                     err),
              CliUsage);
    EXPECT_NE(err.find("--html cannot be used with"), std::string::npos);
    fs::remove_all(dir);
}

}  // namespace
