#include "ProtocolTestSupport.h"
#include "RecordingProxyHandler.h"
#include "TestPluginInstance.h"

#include "base/core/Assertion.h"
#include "base/core/AssertionFailedException.h"
#include "base/core/IOException.h"
#include "plugin/PluginInstanceDescription.h"
#include "plugin/PluginInstanceState.h"

#include <gtest/gtest.h>

using namespace plugin;
using namespace plugin::test;
using base::core::InputStream;
using base::core::OutputStream;
using base::core::SmartPtr;

namespace {

// One message as it travels: the bytes written, the bytes expected, and how the other side reads them
// (answered by writing what it read again).
struct Wire {
    std::string written;
    std::string expected;
    std::function<std::string(InputStream*)> readAndWrite;
};

// A request is framed by writeRequest; everything else writes itself.
template <typename Message> void writeMessage(OutputStream* out, Message& message) {
    if constexpr (std::is_base_of_v<PluginHostRequest, Message>)
        writeRequest(out, message);
    else
        message.write(out);
}

template <typename Message, typename Read> Wire wire(Message* made, const std::string& expected, Read read) {
    const SmartPtr<Message> kept = made;
    return {written([&](OutputStream* out) { writeMessage(out, *kept); }), expected, [read](InputStream* in) {
                const auto back = read(in);
                return written([&](OutputStream* out) { writeMessage(out, *back); });
            }};
}

Wire notification(PluginHostNotification* made, const std::string& expected) {
    return wire(made, expected, [](InputStream* in) { return readPluginHostNotification(nullptr, in); });
}

// A state, bus or parameter info is read by its constructor.
template <typename Part> Wire part(Part* made, const std::string& expected) {
    return wire(made, expected, [](InputStream* in) { return SmartPtr<Part>(new Part(in)); });
}

const std::string LE7 = bytes({7, 0, 0, 0}), LE1 = bytes({1, 0, 0, 0}), ID9 = bytes({9, 0, 0, 0});

class ProtocolWire : public ::testing::Test {
protected:
    SmartPtr<PluginHost> host = new PluginHost(44100, 256);
    SmartPtr<RecordingProxyHandler> handler = new RecordingProxyHandler(host.get());
    SmartPtr<TestPluginInstance> instance = new TestPluginInstance(host.get(), 1);

    Wire request(PluginHostRequest* made, const std::string& expected) {
        made->setRequestId(9); // travels only where an asynchronous answer is awaited
        return wire(made, expected, [h = handler.get()](InputStream* in) { return readRequest(in, h); });
    }
};

// Instance ids, request ids, counts and most numbers are little-endian; window coordinates and a bus's
// channels are big-endian; a text is its big-endian length and its bytes.
TEST_F(ProtocolWire, EveryMessageIsWrittenAsExpectedAndReadsBackTheSameAndMalformedInputFails) {
    instance->addBus(false, "In", 0, 2);
    instance->addBus(true, "Out", 0, 3);
    instance->latency = 32;
    const std::string ioState = LE1 + binaryString("In") + bytes({0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1}) + LE1 +
                                binaryString("Out") +
                                bytes({0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2}) +
                                std::string(9, '\0') + bytes({32, 0, 0, 0, 0, 0, 0});
    const std::string io = LE1 + bytes({2, 0, 0, 0, 3, 0, 0, 0, 32, 0, 0, 0});
    const SmartPtr<TestPluginInstance> keyed = new TestPluginInstance(host.get(), 2);
    keyed->keyNames[60] = "C3";
    PluginParameterInfo info;
    info.automatable = info.isInteger = true;
    info.index = 17;
    info.minValue = -2;
    info.maxValue = 0x0102;
    info.category = "Filter";
    info.shortName = "Cut";
    PluginHostProxyHandler* h = handler.get();
    TestPluginInstance* i = instance.get();
    const SmartPtr<UpdateAllParametersNotification> all = new UpdateAllParametersNotification(h, i);
    all->setState(describePluginInstance(i).get());

    const Wire wires[] = {
        request(new CreatePluginInstanceRequest(h, 7, "/p/x.so", "dev", "pre.fxp", true),
                bytes({0}) + ID9 + LE7 + binaryString("/p/x.so") + binaryString("dev") +
                    binaryString("pre.fxp") + bytes({1})),
        request(new DestroyPluginInstanceRequest(h, 7), bytes({1}) + LE7),
        request(new OpenGUIRequest(h, 7, 0x1122334455667788LL, true, "Title"),
                bytes({2}) + LE7 + bytes({0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 1}) +
                    binaryString("Title")),
        request(new CloseGUIRequest(h, 7), bytes({3}) + LE7),
        request(new UpdateIORequest(h, 7), bytes({4}) + ID9 + LE7),
        request(new LoadPresetRequest(h, 7, "a.fxp"), bytes({5}) + ID9 + LE7 + binaryString("a.fxp")),
        request(new SavePresetRequest(h, 7, "b.fxp"), bytes({6}) + ID9 + LE7 + binaryString("b.fxp")),
        request(new SetCurrentProgramRequest(h, 7, 12), bytes({7}) + LE7 + bytes({12, 0, 0, 0})),
        request(new ShowAllGUIsRequest(h), bytes({8})),
        request(new HideAllGUIsRequest(h), bytes({9})),
        request(new ActivateAppGUIRequest(h), bytes({10})),
        request(new DeactivateAppGUIRequest(h), bytes({11})),
        request(new ShutdownRequest(h), bytes({12})),
        request(new PingRequest(h), bytes({13})), // synchronous: its id never travels
        request(new SetWindowTitleRequest(h, 7, "T"), bytes({14}) + LE7 + binaryString("T")),
        request(new SetWindowPositionRequest(h, 7, 1, 2, 0x0304, -1),
                bytes({15}) + LE7 + bytes({0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 3, 4, 0xFF, 0xFF, 0xFF, 0xFF})),

        notification(new UpdateParameterNotification(h, i, 3, 0.5f),
                     bytes({0}) + LE1 + bytes({3, 0, 0, 0, 0, 0, 0, 0x3F})),
        notification(new UpdateParameterDisplayNotification(h, i, 8, "Gain", "0 dB"),
                     bytes({1}) + LE1 + bytes({8, 0, 0, 0}) + binaryString("Gain") + binaryString("0 dB")),
        notification(all.get(), bytes({2}) + LE1 + ioState),
        notification(new BeginOrEndEditParameterNotification(h, i, 9, true),
                     bytes({3}) + LE1 + bytes({9, 0, 0, 0, 1})),
        notification(new PluginWindowClosedNotification(h, i), bytes({4}) + LE1),
        notification(new PluginWindowMovedNotification(h, i, 1, -2, 300, 0x0201),
                     bytes({5}) + LE1 +
                         bytes({0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFE, 0, 0, 1, 0x2C, 0, 0, 2, 1})),

        // Replies are read by the request they answer. The counts come before the state, the GUI flag in
        // the creation answer only.
        wire(makeCreatePluginInstanceReply(i).get(), io + bytes({1}) + ioState,
             [](InputStream* in) { return CreatePluginInstanceRequest(nullptr, 1).readReply(in); }),
        wire(makeDefineIoReply(i).get(), io + ioState,
             [](InputStream* in) { return UpdateIORequest(nullptr, 1).readReply(in); }),
        // A preset's answer has no body: the reply is made of the request (saving's alike).
        wire(new LoadPresetReply(3, "a.fxp"), "",
             [](InputStream* in) { return LoadPresetRequest(nullptr, 3, "a.fxp").readReply(in); }),

        // One key name sends all 128.
        part(describePluginInstance(keyed.get()).get(), std::string(16, '\0') + bytes({1}) +
                                                            std::string(60 * 4, '\0') + binaryString("C3") +
                                                            std::string(67 * 4, '\0') + std::string(7, '\0')),
        part(new PluginAudioBus("Side", 5), binaryString("Side") + bytes({0, 0, 0, 1, 0, 0, 0, 5})),
        part(new ParameterInfo("Cutoff", "Hz", "4000", 0.75f, info),
             binaryString("Cutoff") + binaryString("Cut") + binaryString("4000") + binaryString("Hz") +
                 binaryString("Filter") +
                 bytes({0, 0, 0x40, 0x3F, 17, 0, 0, 0, 1, 0, 1, 0xFE, 0xFF, 0xFF, 0xFF, 2, 1, 0, 0})),
    };
    for (size_t n = 0; n < std::size(wires); ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(wires[n].written, wires[n].expected);
        auto in = reading(wires[n].expected);
        EXPECT_EQ(wires[n].readAndWrite(in.get()), wires[n].expected);
        EXPECT_EQ(in->numBytesAvailable(), 0u);
    }
    // A malformed request ends the host in order (the host-process tests); a malformed state fails its
    // reader, and an unknown notification type is illegal.
    const std::string negativeCount = bytes({0xFF, 0xFF, 0xFF, 0xFF}), unknownType = bytes({6, 1, 0, 0, 0});
    EXPECT_THROW(PluginInstanceState read(reading(negativeCount).get()), base::core::IOException);
    base::core::pushAssertionInteractionMode(base::core::NonInteractiveAssertions);
    EXPECT_THROW(readPluginHostNotification(nullptr, reading(unknownType).get()),
                 base::core::AssertionFailedException);
    base::core::popAssertionInteractionMode();
}

} // namespace
