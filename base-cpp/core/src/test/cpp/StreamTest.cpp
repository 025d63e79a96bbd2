#include "base/core/Assertion.h"
#include "base/core/BufferedInputStream.h"
#include "base/core/BufferedOutputStream.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/RIFFInputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/StdStringOutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include "ProcessTestSupport.h"

#include <algorithm>
#include <numeric>

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

// Records every writeBytes call separately, and flushes and closes among them. The test chooses its endian
// mode, which no stream of the system changes.
class RecordingOutputStream : public OutputStream {
public:
    explicit RecordingOutputStream(int mode = BigEndian) { endianMode = static_cast<EndianMode>(mode); }
    void writeBytes(const unsigned char* bytes, size_t count) override {
        events.emplace_back(reinterpret_cast<const char*>(bytes), count);
    }
    void flush() override { events.emplace_back("flush"); }
    void close() override { events.emplace_back("close"); }
    std::string all() const { return std::accumulate(events.begin(), events.end(), std::string()); }

    std::vector<std::string> events;
};

std::string written(const std::function<void(OutputStream&)>& write, int mode = BigEndian) {
    RecordingOutputStream out(mode);
    write(out);
    return hex(out.all());
}

// Serves its bytes at most `maxPerCall` at a time and records what each readBytes call asked for.
class ScriptedInputStream : public InputStream {
public:
    ScriptedInputStream(std::string data, size_t maxPerCall)
        : data(std::move(data)), maxPerCall(maxPerCall) {}
    size_t readBytes(unsigned char* buffer, size_t count) override {
        requests.push_back(count);
        size_t n = std::min({count, maxPerCall, data.size() - position});
        data.copy(reinterpret_cast<char*>(buffer), n, position);
        position += n;
        return n;
    }
    size_t numBytesAvailable() const override { return data.size() - position; }

    std::vector<size_t> requests;
    std::string data;
    size_t maxPerCall;
    size_t position = 0;
};

} // namespace

TEST(BinaryEncoding, WireBytes) {
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString("abc"); }), "00 00 00 03 61 62 63");
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString("\u00e9"); }), "80 00 00 01 00 E9");
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString(String()); }), "00 00 00 00");
    // A character above 0xFFFF is two UTF-16 units and is counted twice.
    EXPECT_EQ(written([](OutputStream& out) { out.writeBinaryString("\U0001F600a"); }),
              "80 00 00 03 D8 3D DE 00 00 61");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32(1); }), "00 00 00 01");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32(-2); }), "FF FF FF FE");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32Native(1); }), "01 00 00 00");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32(0x01020304); }, LittleEndian), "04 03 02 01");
    EXPECT_EQ(written([](OutputStream& out) { out.writeInt32(0x01020304); }, NativeEndian), "04 03 02 01");
    EXPECT_EQ(written([](OutputStream& out) { out.writeFloat(1.0f); }), "00 00 80 3F");
    EXPECT_EQ(written([](OutputStream& out) { out.writeBool(true); }), "01");

    const std::string bytes("\x01\x02\x03\x04", 4);
    MemoryInputStream be(bytes.data(), 4), le(bytes.data(), 4), native(bytes.data(), 4);
    EXPECT_EQ(be.readInt32(), 0x01020304);
    EXPECT_EQ(le.readInt32(LittleEndian), 0x04030201);
    EXPECT_EQ(native.readInt32(NativeEndian), 0x04030201);
    // Bit 31 alone is still an empty string, and nothing after the header is read.
    MemoryInputStream emptyUtf16("\x80\x00\x00\x00x", 5);
    EXPECT_TRUE(emptyUtf16.readBinaryString().isEmpty());
    EXPECT_EQ(emptyUtf16.readByte(), 'x');
}

TEST(BinaryEncoding, EveryPrimitiveReadsBackThroughWholeAndTricklingStreams) {
    // Short and long (stack and heap buffers), ASCII and UTF-16, with and without surrogate pairs.
    const std::vector<String> strings = {"abc",
                                         "\u00e9t\u00e9",
                                         String(),
                                         "\U0001F600a",
                                         StringBuilder().append('x', 1023),
                                         StringBuilder().append('y', 1024),
                                         StringBuilder().append(0x20AC, 600)};
    RecordingOutputStream out;
    out.writeInt32(-123456789);
    out.writeInt32Native(0x01020304);
    out.writeInt64Native(-5000000000LL);
    out.writeFloat(-1.25f);
    out.writeBool(true);
    out.writeBool(false);
    for (const String& text : strings)
        out.writeBinaryString(text);
    const std::string bytes = out.all();

    MemoryInputStream whole(bytes.data(), bytes.size());
    ScriptedInputStream trickle(bytes, 1);
    for (InputStream* in : {static_cast<InputStream*>(&whole), static_cast<InputStream*>(&trickle)}) {
        EXPECT_EQ(in->readInt32(), -123456789);
        EXPECT_EQ(in->readInt32Native(), 0x01020304);
        EXPECT_EQ(in->readInt64Native(), -5000000000LL);
        EXPECT_EQ(in->readFloat(), -1.25f);
        EXPECT_TRUE(in->readBool());
        EXPECT_FALSE(in->readBool());
        for (const String& text : strings)
            EXPECT_EQ(in->readBinaryString(), text);
        EXPECT_EQ(in->numBytesAvailable(), 0u);
    }
    EXPECT_GE(trickle.requests.size(), bytes.size());
}

TEST(BinaryEncoding, EndOfStreamInsideAValueRaisesAndBadValuesFail) {
    const std::function<void(InputStream&)> readers[] = {
        [](InputStream& in) { in.readInt32(); },
        [](InputStream& in) { in.readInt32Native(); },
        [](InputStream& in) { in.readFloat(); },
        [](InputStream& in) { in.readInt64Native(); },
        [](InputStream& in) { in.readBinaryString(); },
        [](InputStream& in) { in.skipBytes(3); },
        [](InputStream& in) { in.readByte(), in.readByte(), in.readByte(); },
    };
    for (const auto& read : readers) {
        ScriptedInputStream in(std::string("\x00\x05", 2), 1);
        EXPECT_EQ(failureOf([&] { read(in); }), "End of stream");
    }
    // Header complete, body short; a header that claims gigabytes allocates only what arrives.
    for (const char* header : {"\x00\x00\x00\x05", "\xFF\xFF\xFF\xFF"}) {
        ScriptedInputStream shortBody(std::string(header, 4) + "ab", 1);
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

// 3 is outside the enumerators but inside the enum's range of values.
TEST(OutputStream, UnknownEndianModeIsAnAssertionAndWritesNothing) {
    RecordingOutputStream out(3);
    EXPECT_NE(failureOf([&] { out.writeInt32(1); }).find("Illegal state: Unknown endian mode"),
              std::string::npos);
    // Skipped interactively, the assertion returns and still nothing is written.
    base::core::test::ScopedEnvironment interactive("INTERACTIVE_ASSERTS", "true");
    setInteractiveAssertionHandler([](const String&, bool&) {});
    EXPECT_NO_THROW(out.writeInt32(1));
    setInteractiveAssertionHandler(nullptr);
    EXPECT_TRUE(out.events.empty());
}

TEST(BufferedOutputStream, BuffersUntilFullOrFlushed) {
    SmartPtr<RecordingOutputStream> target(new RecordingOutputStream());
    SmartPtr<OutputStream> out(new BufferedOutputStream(target, 1024));
    const std::string a(1000, 'a'), b(1024, 'b');
    auto write = [&](const std::string& s, size_t n) {
        out->writeBytes(reinterpret_cast<const unsigned char*>(s.data()), n);
    };
    write(a, 1000);
    EXPECT_TRUE(target->events.empty());
    write(b, 100); // does not fit: what was buffered goes first
    write(b, 924); // exactly fills the buffer
    EXPECT_EQ(target->events, std::vector<std::string>({a}));
    out->flush();
    // A write as large as the buffer goes straight through, after what was buffered.
    out->writeString("xyz");
    write(b, 1024);
    out->writeByte('!');
    out->close();
    EXPECT_EQ(target->events, std::vector<std::string>({a, b, "flush", "xyz", b, "!", "flush", "close"}));

    // Destroyed without a flush, it loses what it buffered and lets its target go.
    SmartPtr<RecordingOutputStream> other(new RecordingOutputStream());
    SmartPtr<OutputStream>(new BufferedOutputStream(other, 1024))->writeString("lost");
    EXPECT_TRUE(other->events.empty());
    EXPECT_EQ(other->getReferenceCount(), 1);
}

TEST(BufferedInputStream, OneRefillPerCallAndLargeReadsBypass) {
    SmartPtr<ScriptedInputStream> source(
        new ScriptedInputStream("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn", 1000));
    source->setTextEncoding(gLatin1);
    BufferedInputStream in(source, 8);
    // It follows the wrapped stream's text encoding and passes changes on.
    EXPECT_EQ(in.getTextEncoding(), gLatin1);
    in.setTextEncoding(gASCII);
    EXPECT_EQ(source->getTextEncoding(), gASCII);

    unsigned char buffer[64];
    auto read = [&](size_t count) {
        return std::string(reinterpret_cast<char*>(buffer), in.readBytes(buffer, count));
    };
    EXPECT_EQ(read(5), "ABCDE");
    EXPECT_EQ(in.numBytesAvailable(), 32u + 3u);
    // Only what is buffered, no second refill in the same call.
    EXPECT_EQ(read(10), "FGH");
    // Larger than the buffer: read directly into the caller's memory.
    EXPECT_EQ(read(10), "IJKLMNOPQR");
    EXPECT_EQ(source->requests, std::vector<size_t>({8, 10}));
    in.readReqBytes(buffer, 20);
    EXPECT_EQ(buffer[19], 'l');
    EXPECT_EQ(read(8), "mn");
    EXPECT_EQ(read(8), "");
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
    riff.setAtEnd(true);
    EXPECT_EQ(failureOf([&] { riff.skipBytes(0); }), "End of stream");
}

TEST(StdStringOutputStream, AppendsUtf8Only) {
    std::string target = "x";
    StdStringOutputStream out(target);
    EXPECT_FALSE(out.canChangeTextEncoding());
    out.setTextEncoding(gLatin1);
    out.writeString("\u00e9");
    out.writeLine("!");
    out.writeChar(0x20AC, gUTF16BE);
    EXPECT_EQ(hex(target), "78 C3 A9 21 0A 20 AC");
}
