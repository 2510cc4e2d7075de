#include <gtest/gtest.h>

#include "analysis/SourceEncoding.h"

using tabulex::detect_source_encoding;
using tabulex::SourceEncoding;

TEST(SourceEncodingTest, Utf8NeedsValidBytesAndOneNonAsciiByte)
{
    EXPECT_EQ(detect_source_encoding("begin end."), SourceEncoding::Windows1252);
    EXPECT_EQ(detect_source_encoding(""), SourceEncoding::Windows1252);
    EXPECT_EQ(detect_source_encoding("{ fun\xC3\xA7\xC3\xA3o }"), SourceEncoding::Utf8);
    EXPECT_EQ(detect_source_encoding("\xEF\xBB\xBFunit a;"),
              SourceEncoding::Utf8);  // byte-order mark
    EXPECT_EQ(detect_source_encoding("{ fun\xE7\xE3o }"), SourceEncoding::Windows1252);
    EXPECT_EQ(detect_source_encoding("\xC3\xA7 then \xE7"), SourceEncoding::Windows1252);  // mixed
    EXPECT_EQ(detect_source_encoding("\xC0\xAF"), SourceEncoding::Windows1252);      // overlong
    EXPECT_EQ(detect_source_encoding("\xED\xA0\x80"), SourceEncoding::Windows1252);  // surrogate
    EXPECT_EQ(detect_source_encoding("\xC3"), SourceEncoding::Windows1252);          // cut short
}

// ASCII is passed in blocks of 32 and 8 bytes: a sequence (whole, malformed or cut short by
// the end) at every place in and around those blocks is still seen.
TEST(SourceEncodingTest, SequencesAtEveryPlaceAroundTheAsciiBlocks)
{
    for (std::size_t at = 0; at <= 70; ++at) {
        const std::string before(at, 'a');
        const std::string after(70 - at, 'b');
        EXPECT_EQ(detect_source_encoding(before + "\xE2\x82\xAC" + after), SourceEncoding::Utf8)
            << at;
        EXPECT_EQ(detect_source_encoding(before + "\xE2\x82" + after), SourceEncoding::Windows1252)
            << at;
        EXPECT_EQ(detect_source_encoding(before + "\xE9"), SourceEncoding::Windows1252) << at;
        EXPECT_EQ(detect_source_encoding(before + "\xC3\xA9" + after + "\xE9"),
                  SourceEncoding::Windows1252)
            << at;
    }
}
