// Feeds arbitrary bytes to every reader of the control channel: requests as the host reads them,
// notifications and replies as the client reads them. Any exception is a clean rejection; a crash,
// hang or leak is a finding.
#include "base/core/Exception.h"
#include "base/core/MemoryInputStream.h"
#include "base/core/SmartPtr.h"
#include "plugin/PluginHostNotifications.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <cstddef>
#include <cstdint>

using base::core::MemoryInputStream;
using base::core::SmartPtr;

namespace {

void readAll(MemoryInputStream& in, uint8_t reader, uint8_t requestType) {
    // Keep reading while bytes remain, as the real readers do on a pipe; a reply without a body reads
    // nothing, which ends the input too.
    for (size_t before = 0; in.numBytesAvailable() > 0 && in.numBytesAvailable() != before;) {
        before = in.numBytesAvailable();
        switch (reader % 3) {
        case 0:
            plugin::readRequest(&in, nullptr);
            break;
        case 1:
            plugin::readPluginHostNotification(nullptr, &in);
            break;
        default:
            plugin::makeRequest(requestType % 16, nullptr)->readReply(&in);
            break;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    SmartPtr<MemoryInputStream> in(new MemoryInputStream(data + 2, size - 2));
    try {
        readAll(*in, data[0], data[1]);
    } catch (const base::core::Exception&) {
    }
    return 0;
}
