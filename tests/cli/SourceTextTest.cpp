#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

#include "cli/SourceText.h"

namespace fs = std::filesystem;
using namespace tabulex;

// Large sources are read into memory laid out in whole large pages: the bytes must come back
// as they are, with the NUL after them, whatever the size against the page size.
TEST(SourceText, LargeFilesComeBackWholeWithTheirNul)
{
    const fs::path path =
        fs::temp_directory_path() / ("tabulex_source_text_" + std::to_string(::getpid()));
    constexpr std::size_t kLarge = std::size_t{2} << 20;
    for (const std::size_t size : {std::size_t{300000}, kLarge - 2, kLarge - 1, 3 * kLarge + 5}) {
        std::string bytes(size, 'x');
        for (std::size_t i = 0; i < size; i += 4093)
            bytes[i] = static_cast<char>('a' + i % 26);
        std::ofstream(path, std::ios::binary) << bytes;
        const TSourceText text(path.string());
        ASSERT_EQ(text.bytes().size(), size);
        EXPECT_TRUE(text.bytes() == bytes);
        EXPECT_EQ(text.bytes().data()[size], '\0');
    }
    fs::remove(path);
}
