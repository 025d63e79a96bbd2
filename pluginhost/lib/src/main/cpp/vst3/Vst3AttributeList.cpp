#include "vst3/Vst3AttributeList.h"

#include "vst3/Vst3QueryInterface.h"

#include <algorithm>
#include <cstring>

namespace plugin {

using namespace Steinberg;

tresult PLUGIN_API Vst3AttributeList::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Vst::IAttributeList>(this, iid, object);
}

uint32 PLUGIN_API Vst3AttributeList::release() {
    const int32 count = --referenceCount;
    if (count == 0)
        delete this;
    return static_cast<uint32>(count);
}

Vst3AttributeList::Attribute& Vst3AttributeList::replace(AttrID id, Attribute::Kind kind) {
    Attribute& attribute = attributes[base::core::String(id)];
    attribute = Attribute{};
    attribute.kind = kind;
    return attribute;
}

const Vst3AttributeList::Attribute* Vst3AttributeList::find(AttrID id) const {
    if (!id)
        return nullptr;
    auto found = attributes.find(base::core::String(id));
    return found == attributes.end() ? nullptr : &found->second;
}

tresult PLUGIN_API Vst3AttributeList::setInt(AttrID id, int64 value) {
    if (!id)
        return kInvalidArgument;
    replace(id, Attribute::INTEGER).value.integer = value;
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::getInt(AttrID id, int64& value) {
    const Attribute* attribute = find(id);
    if (!attribute)
        return kResultFalse;
    value = attribute->value.integer;
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::setFloat(AttrID id, double value) {
    if (!id)
        return kInvalidArgument;
    replace(id, Attribute::FLOAT).value.number = value;
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::getFloat(AttrID id, double& value) {
    const Attribute* attribute = find(id);
    if (!attribute)
        return kResultFalse;
    value = attribute->value.number;
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::setString(AttrID id, const Vst::TChar* string) {
    if (!id)
        return kInvalidArgument;
    Attribute& attribute = replace(id, Attribute::STRING);
    size_t length = 0;
    while (string && string[length] != 0)
        ++length;
    attribute.characters.assign(string, string + length);
    attribute.characters.push_back(0);
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::getString(AttrID id, Vst::TChar* string, uint32 sizeInBytes) {
    const Attribute* attribute = find(id);
    if (!attribute)
        return kResultFalse;
    const size_t count = std::min<size_t>(attribute->characters.size(), sizeInBytes / sizeof(Vst::TChar));
    if (count > 0)
        std::memcpy(string, attribute->characters.data(), count * sizeof(Vst::TChar));
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::setBinary(AttrID id, const void* data, uint32 size) {
    if (!id)
        return kInvalidArgument;
    Attribute& attribute = replace(id, Attribute::BINARY);
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (bytes && size > 0)
        attribute.bytes.assign(bytes, bytes + size);
    return kResultOk;
}

tresult PLUGIN_API Vst3AttributeList::getBinary(AttrID id, const void*& data, uint32& size) {
    const Attribute* attribute = find(id);
    if (!attribute) {
        size = 0;
        return kResultFalse;
    }
    data = attribute->bytes.empty() ? nullptr : attribute->bytes.data();
    size = static_cast<uint32>(attribute->bytes.size());
    return kResultOk;
}

} // namespace plugin
