#include "base/core/EOSException.h"
#include "base/core/IOException.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/StdStringOutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include <gtest/gtest.h>

#include <string>

using namespace base::core;

namespace {

std::string encode(TextEncoding* encoding, Char c) {
    std::string bytes;
    StdStringOutputStream out(bytes);
    encoding->writeChar(c, &out);
    return bytes;
}

template <typename Action> void expectIOException(Action action, const String& message) {
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message.getStdString();
    } catch (const EOSException&) {
        ADD_FAILURE() << "unexpected end of stream, expected: " << message.getStdString();
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), message) << e.what();
    }
}

} // namespace

TEST(UTF8Encoding, WritesAndReadsEverySequenceLength) {
    EXPECT_EQ(encode(gUTF8, 'A'), "A");
    EXPECT_EQ(encode(gUTF8, 0xE9), "\xC3\xA9");
    EXPECT_EQ(encode(gUTF8, 0x20AC), "\xE2\x82\xAC");
    EXPECT_EQ(encode(gUTF8, 0x1F600), "\xF0\x9F\x98\x80");
    EXPECT_EQ(encode(gUTF8, 0x110000), "");

    const std::string bytes = "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    MemoryInputStream in(bytes.data(), bytes.size());
    for (Char expected : {Char('A'), Char(0xE9), Char(0x20AC), Char(0x1F600)})
        EXPECT_EQ(gUTF8->readChar(&in), expected);
    EXPECT_THROW(gUTF8->readChar(&in), EOSException);
}

TEST(UTF8Encoding, RejectsInvalidBytesAndConsumesBadSequenceWhole) {
    const std::string bytes = "\xFF"
                              "\xE2\x41\x42"
                              "z"
                              "\xBF"
                              "\xC1\x81";
    MemoryInputStream in(bytes.data(), bytes.size());
    expectIOException([&] { gUTF8->readChar(&in); }, "Invalid UTF8 encoding");
    // The lead byte promises two continuation bytes; both are read before the first is found wrong.
    expectIOException([&] { gUTF8->readChar(&in); }, "Invalid UTF8 encoding");
    EXPECT_EQ(gUTF8->readChar(&in), Char('z'));
    expectIOException([&] { gUTF8->readChar(&in); }, "Invalid UTF8 encoding");
    // Overlong forms are taken as they come.
    EXPECT_EQ(gUTF8->readChar(&in), Char('A'));

    const std::string truncated = "\xE2\x82";
    MemoryInputStream shortIn(truncated.data(), truncated.size());
    EXPECT_THROW(gUTF8->readChar(&shortIn), EOSException);
}

TEST(ASCIIEncoding, FailsOutsideSevenBits) {
    EXPECT_EQ(encode(gASCII, 0x7F), "\x7F");
    expectIOException([] { encode(gASCII, 0xE9); }, "Character '\u00e9' cannot be encoded in ASCII format");
    expectIOException([] { encode(TextEncoding::getASCII(), 0x80); },
                      StringBuilder() + "Character '" + Char(0x80) + "' cannot be encoded in ASCII format");

    const std::string bytes = "a\xFF";
    MemoryInputStream in(bytes.data(), bytes.size());
    EXPECT_EQ(gASCII->readChar(&in), Char('a'));
    expectIOException([&] { gASCII->readChar(&in); }, "Invalid ASCII byte: ff");
}

TEST(Latin1Encoding, ReplacesWhatDoesNotFitAndReadsBytesAsChars) {
    EXPECT_EQ(encode(gLatin1, 0x20AC), "?");
    EXPECT_EQ(encode(gLatin1, 0xFF), "\xFF");
    EXPECT_EQ(gLatin1->getMinCharSizeInBytes(), 1);
    EXPECT_EQ(gLatin1->getMaxCharSizeInBytes(), 4);
    EXPECT_EQ(String("caf\xE9", gLatin1), "caf\u00e9");
}

TEST(UTF16Encoding, SurrogatePairsInBothByteOrders) {
    EXPECT_EQ(encode(gUTF16BE, 0x1F600), std::string("\xD8\x3D\xDE\x00", 4));
    EXPECT_EQ(encode(gUTF16LE, 0x1F600), std::string("\x3D\xD8\x00\xDE", 4));
    EXPECT_EQ(encode(TextEncoding::getUTF16BE(), 0xE9), std::string("\x00\xE9", 2));

    const std::string be("\xD8\x3D\xDE\x00"
                         "\x00\x41",
                         6);
    MemoryInputStream beIn(be.data(), be.size());
    EXPECT_EQ(gUTF16BE->readChar(&beIn), 0x1F600u);
    EXPECT_EQ(gUTF16BE->readChar(&beIn), Char('A'));

    const std::string le("\x3D\xD8\x00\xDE", 4);
    MemoryInputStream leIn(le.data(), le.size());
    EXPECT_EQ(gUTF16LE->readChar(&leIn), 0x1F600u);

    // The unit after a high surrogate is used without checking it; only its low 10 bits count.
    const std::string unpaired("\xD8\x3D\x00\x41", 4);
    MemoryInputStream unpairedIn(unpaired.data(), unpaired.size());
    EXPECT_EQ(gUTF16BE->readChar(&unpairedIn), 0x10000u + (0x3Du << 10) + 0x41u);

    const char units[] = {'a', 0, 'b', 0, 0, 0};
    EXPECT_EQ(gUTF16LE->byteLen(units), 4u);
    EXPECT_EQ(String(units, gUTF16LE), "ab");
}

TEST(TextEncoding, DecodingIntoBuilderStopsAtZeroAndPropagatesErrors) {
    StringBuilder text;
    text.append("ab\0cd", 5, gUTF8);
    EXPECT_EQ(text.toString(), "ab");
    StringBuilder bad;
    EXPECT_THROW(bad.append("a\xFF", 2, gUTF8), IOException);
}

TEST(TextEncoding, ReadStringLimits) {
    const std::string bytes("abc\0def", 7);
    MemoryInputStream in(bytes.data(), bytes.size());
    EXPECT_TRUE(gUTF8->readString(&in, 0).isEmpty());
    EXPECT_EQ(gUTF8->readString(&in, 2), "ab");
    // A 0 character ends the string and is consumed.
    EXPECT_EQ(gUTF8->readString(&in, -1), "c");
    // The end of the stream ends the string quietly.
    EXPECT_EQ(gUTF8->readString(&in, 100), "def");
    EXPECT_TRUE(gUTF8->readString(&in, -1).isEmpty());
}

TEST(TextEncoding, ReadStringUptoCharStopsAtStopCharOrLimit) {
    const std::string bytes = "ab,cde,f\nrest";
    MemoryInputStream in(bytes.data(), bytes.size());
    EXPECT_EQ(gUTF8->readStringUptoChar(&in, ',', -1), "ab");
    EXPECT_EQ(gUTF8->readStringUptoChar(&in, ',', 2), "cd");
    EXPECT_EQ(gUTF8->readStringUptoChar(&in, ',', -1), "e");
    EXPECT_EQ(in.readLine(), "f");
    EXPECT_EQ(in.readLine(gUTF8), "rest");

    // Errors other than the end of the stream reach the caller.
    const std::string invalid = "ok\xFF";
    MemoryInputStream invalidIn(invalid.data(), invalid.size());
    EXPECT_THROW(invalidIn.readString(gASCII, -1), IOException);
}

TEST(TextEncoding, ReadStringAcrossBlockBoundaries) {
    for (int length : {4095, 4096, 4097, 10000}) {
        StringBuilder expected;
        for (int i = 0; i < length; ++i)
            expected.append(i % 3 == 0 ? Char(0x20AC) : Char('a' + i % 26));
        const String text = expected;
        std::string bytes;
        StdStringOutputStream out(bytes);
        out.writeString(text, gUTF8);

        MemoryInputStream whole(bytes.data(), bytes.size());
        EXPECT_EQ(gUTF8->readString(&whole, -1), text) << length;
        MemoryInputStream limited(bytes.data(), bytes.size());
        const String head = gUTF8->readString(&limited, 4097);
        EXPECT_EQ(head, text.substring(0, 4097)) << length;
        EXPECT_EQ(gUTF8->readStringUptoChar(&limited, 0x20AC, -1), text.substring(4097, 4098)) << length;
    }
}
