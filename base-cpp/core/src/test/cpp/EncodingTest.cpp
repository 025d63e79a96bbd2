#include "base/core/IOException.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/StdStringOutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include "ProcessTestSupport.h"

using namespace base::core;
using base::core::test::failureOf;

namespace {

std::string encode(TextEncoding* encoding, Char c) {
    std::string bytes;
    StdStringOutputStream out(bytes);
    encoding->writeChar(c, &out);
    return bytes;
}

} // namespace

TEST(TextEncoding, CharactersAndTheirBytes) {
    enum { WRITE = 1, READ = 2, BOTH = 3 };
    const struct {
        TextEncoding* encoding;
        Char c;
        std::string bytes;
        int directions;
    } rows[] = {
        {gUTF8, 0xE9, "\xC3\xA9", BOTH},
        {gUTF8, 0x20AC, "\xE2\x82\xAC", BOTH},
        {gUTF8, 0x1F600, "\xF0\x9F\x98\x80", BOTH},
        {gASCII, 0x7F, "\x7F", BOTH},
        {gLatin1, 0xFF, "\xFF", BOTH},
        {gLatin1, 0x20AC, "?", WRITE},
        {gUTF16BE, 0x1F600, std::string("\xD8\x3D\xDE\x00", 4), BOTH},
        // The unit after a high surrogate is used without checking it; only its low 10 bits count.
        {gUTF16BE, 0x1F441, std::string("\xD8\x3D\x00\x41", 4), READ},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.c);
        if (row.directions & WRITE) {
            EXPECT_EQ(encode(row.encoding, row.c), row.bytes);
        }
        if (row.directions & READ) {
            MemoryInputStream in(row.bytes.data(), row.bytes.size());
            EXPECT_EQ(row.encoding->readChar(&in), row.c);
            EXPECT_EQ(in.numBytesAvailable(), 0u);
        }
    }
    EXPECT_EQ(failureOf([] { encode(TextEncoding::getASCII(), 0x80); }),
              "Character '\u0080' cannot be encoded in ASCII format");
}

TEST(TextEncoding, InvalidBytesFailAndTheBadSequenceIsConsumedWhole) {
    const struct {
        TextEncoding* encoding;
        std::string bytes;
        const char* failure;
    } rows[] = {
        {gUTF8, "\xFF", "Invalid UTF8 encoding"},
        {gUTF8, "\xBF", "Invalid UTF8 encoding"},
        // The lead byte promises two continuation bytes; both are read before the first is found wrong.
        {gUTF8, "\xE2\x41\x42", "Invalid UTF8 encoding"},
        {gUTF8, "\xE2\x82", "End of stream"},
        {gUTF8, "", "End of stream"},
        {gASCII, "\xFF", "Invalid ASCII byte: ff"},
    };
    for (const auto& row : rows) {
        MemoryInputStream in(row.bytes.data(), row.bytes.size());
        EXPECT_EQ(failureOf([&] { row.encoding->readChar(&in); }), row.failure);
        EXPECT_EQ(in.numBytesAvailable(), 0u);
    }
    StringBuilder bad;
    EXPECT_THROW(bad.append("a\xFF", 2, gUTF8), IOException);
    const std::string invalid = "ok\xFF";
    MemoryInputStream invalidIn(invalid.data(), invalid.size());
    // Errors other than the end of the stream reach the caller of readString.
    EXPECT_THROW(invalidIn.readString(gASCII, -1), IOException);
}

TEST(TextEncoding, ReadStringStopsAtLimitZeroStopCharOrEnd) {
    StringBuilder text;
    text.append("ab\0cd", 5, gUTF8);
    EXPECT_EQ(text.toString(), "ab");

    const std::string xs(4097, 'x'), bytes = std::string("abc\0", 4) + xs + "yz";
    MemoryInputStream in(bytes.data(), bytes.size());
    EXPECT_TRUE(gUTF8->readString(&in, 0).isEmpty());
    EXPECT_EQ(gUTF8->readString(&in, 2), "ab");
    // A 0 character ends the string and is consumed; the end of the stream ends it quietly.
    EXPECT_EQ(gUTF8->readString(&in, -1), "c");
    // Past the block the characters are collected in; the stop character is consumed.
    EXPECT_EQ(gUTF8->readStringUptoChar(&in, 'y', -1), xs.c_str());
    EXPECT_EQ(gUTF8->readString(&in, -1), "z");
    EXPECT_TRUE(gUTF8->readString(&in, -1).isEmpty());
}
