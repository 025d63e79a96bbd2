#pragma once

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/vst/ivstmessage.h"

#include <atomic>
#include <memory>

namespace plugin {

class Vst3Host;

// Host side. A message a plug-in makes through the host context to send between its halves: an id and an
// attribute list, made on first request.
//
// Threads: whichever the plug-in chooses, one at a time; the reference count is atomic.
class Vst3Message : public Steinberg::Vst::IMessage {
public:
    explicit Vst3Message(Vst3Host* owner) : owner(owner) {}
    virtual ~Vst3Message() = default;
    Vst3Message(const Vst3Message&) = delete;
    Vst3Message& operator=(const Vst3Message&) = delete;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    Steinberg::uint32 PLUGIN_API release() override;
    Steinberg::FIDString PLUGIN_API getMessageID() override { return id.get(); }
    // Keeps a copy; null clears it.
    void PLUGIN_API setMessageID(Steinberg::FIDString messageId) override;
    // The message's own list: the caller gets no reference of its own.
    Steinberg::Vst::IAttributeList* PLUGIN_API getAttributes() override;

private:
    std::atomic<Steinberg::int32> referenceCount{1};
    std::unique_ptr<char[]> id;
    Steinberg::IPtr<Steinberg::Vst::IAttributeList> attributes;
    Vst3Host* owner;
};

} // namespace plugin
