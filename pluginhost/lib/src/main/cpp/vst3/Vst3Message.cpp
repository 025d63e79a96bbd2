#include "vst3/Vst3Message.h"

#include "vst3/Vst3QueryInterface.h"

#include "vst3/Vst3AttributeList.h"

#include <cstring>

namespace plugin {

using namespace Steinberg;

tresult PLUGIN_API Vst3Message::queryInterface(const TUID iid, void** object) {
    return queryOneInterface<Vst::IMessage>(this, iid, object);
}

uint32 PLUGIN_API Vst3Message::release() {
    const int32 count = --referenceCount;
    if (count == 0)
        delete this;
    return static_cast<uint32>(count);
}

void PLUGIN_API Vst3Message::setMessageID(FIDString messageId) {
    id.reset();
    if (!messageId)
        return;
    const size_t size = std::strlen(messageId) + 1;
    id.reset(new char[size]);
    std::memcpy(id.get(), messageId, size);
}

Vst::IAttributeList* PLUGIN_API Vst3Message::getAttributes() {
    if (!attributes)
        attributes = owned(static_cast<Vst::IAttributeList*>(new Vst3AttributeList(owner)));
    return attributes;
}

} // namespace plugin
