#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "analysis/FileBytes.h"

using tabulex::EFOpenError;
using tabulex::read_file_bytes;

TEST(FileBytes, ReadsEveryByteIncludingNulAndHighBytes)
{
    auto path = std::filesystem::temp_directory_path() / "tabulex_filebytes.bin";
    std::string bytes("a\0b\r\n\xE9\xFF", 7);
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(read_file_bytes(path.string()), bytes);
    std::filesystem::remove(path);
}

TEST(FileBytes, MissingFileAndDirectoryRaiseCannotOpen)
{
    try {
        read_file_bytes("/nonexistent/x.pas");
        FAIL() << "no error";
    } catch (const EFOpenError& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/x.pas");
    }
    EXPECT_THROW(read_file_bytes(std::filesystem::temp_directory_path().string()), EFOpenError);
}
