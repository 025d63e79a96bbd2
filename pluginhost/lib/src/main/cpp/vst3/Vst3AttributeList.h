#pragma once

#include "base/core/String.h"

#include "pluginterfaces/vst/ivstattributes.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <vector>

namespace plugin {

class Vst3Host;

// Host side. The attribute list a plug-in makes through the host context to fill a message between its
// halves: integers, floats, strings and binary values by id, each set replacing what the id held. The
// getters do not check the kind: a number read as the other kind gives its 8 bytes reinterpreted, and a
// number read as a string or binary value gives nothing.
//
// Threads: whichever the plug-in chooses, one at a time; the reference count is atomic.
class Vst3AttributeList : public Steinberg::Vst::IAttributeList {
public:
    explicit Vst3AttributeList(Vst3Host* owner) : owner(owner) {}
    virtual ~Vst3AttributeList() = default;
    Vst3AttributeList(const Vst3AttributeList&) = delete;
    Vst3AttributeList& operator=(const Vst3AttributeList&) = delete;

    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** object) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return ++referenceCount; }
    Steinberg::uint32 PLUGIN_API release() override;
    Steinberg::tresult PLUGIN_API setInt(AttrID id, Steinberg::int64 value) override;
    Steinberg::tresult PLUGIN_API getInt(AttrID id, Steinberg::int64& value) override;
    Steinberg::tresult PLUGIN_API setFloat(AttrID id, double value) override;
    Steinberg::tresult PLUGIN_API getFloat(AttrID id, double& value) override;
    // Keeps the string with its terminating zero.
    Steinberg::tresult PLUGIN_API setString(AttrID id, const Steinberg::Vst::TChar* string) override;
    // Copies at most sizeInBytes / 2 characters, without adding a terminator.
    Steinberg::tresult PLUGIN_API getString(AttrID id, Steinberg::Vst::TChar* string,
                                            Steinberg::uint32 sizeInBytes) override;
    Steinberg::tresult PLUGIN_API setBinary(AttrID id, const void* data, Steinberg::uint32 size) override;
    // The bytes stay the list's, valid until the id is set again or the list goes.
    Steinberg::tresult PLUGIN_API getBinary(AttrID id, const void*& data, Steinberg::uint32& size) override;

    Vst3Host* getOwner() const { return owner; }

private:
    // One value: a number in its 8 bytes, or a string's characters or a binary value's bytes.
    struct Attribute {
        enum Kind { INTEGER, FLOAT, STRING, BINARY };
        union {
            Steinberg::int64 integer;
            double number;
        } value{};
        std::vector<Steinberg::Vst::TChar> characters;
        std::vector<uint8_t> bytes;
        Kind kind = INTEGER;
    };

    Attribute& replace(AttrID id, Attribute::Kind kind);
    const Attribute* find(AttrID id) const;

    std::atomic<Steinberg::int32> referenceCount{1};
    std::map<base::core::String, Attribute> attributes;
    Vst3Host* owner;
};

} // namespace plugin
