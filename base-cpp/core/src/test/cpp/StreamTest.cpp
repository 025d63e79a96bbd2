#include "base/core/BufferedInputStream.h"
#include "base/core/BufferedOutputStream.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/RIFFInputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/StringBuilder.h"

#include "ProcessTestSupport.h"

#include <algorithm>

using namespace base::core;
using base::core::test::failureOf;

namespace {

std::string hex(const std::string& bytes) {
    std::string text;
    for (unsigned char b : bytes) {
        char piece[4];
        std::snprintf(piece, sizeof piece, text.empty() ? "%02X" : " %02X", b);
        text += piece;
    }
    return text;
}

// Collects what is written. The test chooses its endian mode, which no stream of the system changes.
class ByteSink : public OutputStream {
public:
    explicit ByteSink(int mode = BigEndian) { endianMode = static_cast<EndianMode>(mode); }
    void writeBytes(const unsigned char* bytes, size_t count) override {
        this->bytes.append(reinterpret_cast<const char*>(bytes), count);
    }

    void flush() override { calls += "flush "; }
    void close() override { calls += "close"; }

    std::string bytes, calls;
};

std::string written(const std::function<void(OutputStream&)>& write, int mode = BigEndian) {
    ByteSink out(mode);
    write(out);
    return hex(out.bytes);
}

// Serves its bytes at most `maxPerCall` at a time.
class TricklingInputStream : public InputStream {
public:
    TricklingInputStream(std::string data, size_t maxPerCall)
        : data(std::move(data)), maxPerCall(maxPerCall) {}
    size_t readBytes(unsigned char* buffer, size_t count) override {
        const size_t n = data.copy(reinterpret_cast<char*>(buffer), std::min(count, maxPerCall), position);
        position += n;
        return n;
    }
    size_t numBytesAvailable() const override { return data.size() - position; }

    std::string data;
    size_t maxPerCall;
    size_t position = 0;
};

} // namespace

// Protocol messages are checked byte for byte in the protocol tests; here, what they do not show.
TEST(BinaryEncoding, WireBytes) {
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString("\u00e9"); }), "80 00 00 01 00 E9");
    // A character above 0xFFFF is two UTF-16 units and is counted twice.
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString("\U0001F600a"); }),
              "80 00 00 03 D8 3D DE 00 00 61");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32(0x01020304); }, LittleEndian), "04 03 02 01");

    const std::string bytes("\x01\x02\x03\x04", 4);
    MemoryInputStream be(bytes.data(), 4), le(bytes.data(), 4);
    EXPECT_EQ(be.readInt32(), 0x01020304);
    EXPECT_EQ(le.readInt32(LittleEndian), 0x04030201);
    // Bit 31 alone is still an empty string, and nothing after the header is read.
    MemoryInputStream emptyUtf16("\x80\x00\x00\x00x", 5);
    EXPECT_TRUE(emptyUtf16.readBinaryString().isEmpty());
    EXPECT_EQ(emptyUtf16.readByte(), 'x');
}

// Written and read through buffers smaller than most values, as every pipe is: the writer keeps the order of
// what it buffered and what it passes straight through and delivers the rest when closed; the reader
// refills, and reads large values past its buffer.
TEST(BinaryEncoding, EveryPrimitiveReadsBackThroughWholeTricklingAndBufferedStreams) {
    // Short and long (stack and heap buffers), ASCII and UTF-16, with and without surrogate pairs.
    const std::vector<String> strings = {"abc",
                                         "\u00e9t\u00e9",
                                         String(),
                                         "\U0001F600a",
                                         StringBuilder().append('x', 1023),
                                         StringBuilder().append('y', 1024),
                                         StringBuilder().append(0x20AC, 600)};
    SmartPtr<ByteSink> sink(new ByteSink());
    SmartPtr<OutputStream> out(new BufferedOutputStream(sink, 16));
    out->writeInt32(-123456789);
    out->writeInt32Native(0x01020304);
    out->writeInt64Native(-5000000000LL);
    out->writeFloat(-1.25f);
    out->writeBool(true);
    out->writeBool(false);
    const std::string block = "a block larger than the writer's buffer";
    out->writeBytes(reinterpret_cast<const unsigned char*>(block.data()), block.size());
    out->flush();
    for (const String& text : strings)
        out->writeBinaryString(text);
    out->close();
    EXPECT_EQ(sink->calls, "flush flush close");
    const std::string bytes = sink->bytes;

    MemoryInputStream whole(bytes.data(), bytes.size());
    TricklingInputStream trickle(bytes, 1);
    BufferedInputStream buffered(SmartPtr<InputStream>(new TricklingInputStream(bytes, 5)), 16);
    for (InputStream* in : std::initializer_list<InputStream*>{&whole, &trickle, &buffered}) {
        EXPECT_EQ(in->readInt32(), -123456789);
        EXPECT_EQ(in->readInt32Native(), 0x01020304);
        EXPECT_EQ(in->readInt64Native(), -5000000000LL);
        EXPECT_EQ(in->readFloat(), -1.25f);
        EXPECT_TRUE(in->readBool());
        EXPECT_FALSE(in->readBool());
        std::string got(block.size(), '\0');
        in->readReqBytes(reinterpret_cast<unsigned char*>(got.data()), got.size());
        EXPECT_EQ(got, block);
        for (const String& text : strings)
            EXPECT_EQ(in->readBinaryString(), text);
        EXPECT_EQ(in->numBytesAvailable(), 0u);
    }
}

TEST(BinaryEncoding, EndOfStreamInsideAValueRaisesAndBadValuesFail) {
    const std::function<void(InputStream&)> readers[] = {
        [](InputStream& in) { in.readInt32(); },
        [](InputStream& in) { in.readBinaryString(); },
        [](InputStream& in) { in.skipBytes(3); },
        [](InputStream& in) { in.readByte(), in.readByte(), in.readByte(); },
    };
    for (const auto& read : readers) {
        TricklingInputStream in(std::string("\x00\x05", 2), 1);
        EXPECT_EQ(failureOf([&] { read(in); }), "End of stream");
    }
    // Header complete, body short; a header that claims gigabytes allocates only what arrives.
    for (const char* header : {"\x00\x00\x00\x05", "\xFF\xFF\xFF\xFF"}) {
        TricklingInputStream shortBody(std::string(header, 4) + "ab", 1);
        EXPECT_EQ(failureOf([&] { shortBody.readBinaryString(); }), "End of stream");
    }

    MemoryInputStream in("\x02\x01", 2);
    EXPECT_EQ(failureOf([&] { in.readBool(); }), "Unexpected value for bool");
    EXPECT_TRUE(in.readBool()); // the bad byte was consumed
    // Text that cannot be decoded is replaced, never fatal: a byte above 127, a lone high surrogate last.
    for (const std::string& encoded : {std::string("\x00\x00\x00\x02"
                                                   "a\x80",
                                                   6),
                                       std::string("\x80\x00\x00\x02\x00\x61\xD8\x3D", 8)}) {
        MemoryInputStream body(encoded.data(), encoded.size());
        EXPECT_EQ(body.readBinaryString(), "a\uFFFD");
        EXPECT_EQ(body.numBytesAvailable(), 0u);
    }
}

// Walking the chunks of a real file is checked where NKS presets are read; here, the limits of one chunk.
TEST(RIFFInputStream, ReadsStopAtTheEndOfThePaddedChunk) {
    const std::string file("fmt \x05\x00\x00\x00"
                           "abcde\x00"
                           "data",
                           18);
    RIFFInputStream riff(SmartPtr<InputStream>(new MemoryInputStream(file.data(), file.size())));
    riff.readChunkHeader();
    EXPECT_EQ(riff.getChunkSize(), 6u);
    EXPECT_EQ(failureOf([&] { riff.skipBytes(7); }), "Skipping beyond end of current chunk");
    riff.skipBytes(1);
    unsigned char buffer[16];
    EXPECT_EQ(riff.readBytes(buffer, sizeof buffer), 5u); // the rest of the chunk, padding included
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "bcde");
    EXPECT_EQ(riff.getPositionInChunk(), 6u);
    EXPECT_EQ(riff.readBytes(buffer, sizeof buffer), 0u);
    EXPECT_EQ(failureOf([&] { riff.readInt32LE(); }), "End of stream");
}
