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

// UTF-16 with its byte-order mark comes back as UTF-8 with UTF-8's mark, in either byte order;
// a pair of surrogates makes one character, an unpaired surrogate and a lone last byte U+FFFD.
TEST(FileBytes, Utf16WithItsMarkIsReadAsUtf8)
{
    using namespace std::string_literals;
    auto path = std::filesystem::temp_directory_path() / "tabulex_filebytes_utf16.pas";
    const std::string little = "\xFF\xFEu\0\xE7\0\x3D\xD8\x00\xDE\0\xD8x\0!"s;
    std::ofstream(path, std::ios::binary) << little;
    const std::string utf8 = "\xEF\xBB\xBFu\xC3\xA7\xF0\x9F\x98\x80\xEF\xBF\xBDx\xEF\xBF\xBD";
    EXPECT_EQ(read_file_bytes(path.string()), utf8);
    std::filesystem::remove(path);

    EXPECT_EQ(tabulex::utf16_as_utf8("\xFE\xFF\0u\0\xE7\xD8\x3D\xDE\x00\xDC\0"s),
              "\xEF\xBB\xBFu\xC3\xA7\xF0\x9F\x98\x80\xEF\xBF\xBD");
    EXPECT_FALSE(tabulex::has_utf16_mark("\xEF\xBB\xBFunit"));
    EXPECT_EQ(tabulex::find_nul_byte("unit\0x"s), 4u);
    EXPECT_EQ(tabulex::find_nul_byte("unit"), std::nullopt);
}
