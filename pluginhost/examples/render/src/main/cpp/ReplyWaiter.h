#pragma once

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <condition_variable>
#include <mutex>

namespace render {

// Client side: the outcome of one asynchronous request, delivered on the proxy's async reply thread and
// waited for on the rendering thread. A host that dies meanwhile ends the wait with its error.
class ReplyWaiter : public plugin::PluginHostAsyncReplyHandler {
public:
    void replyCanceled() override;
    void handleReply(plugin::PluginHostReply* reply) override;
    void handleError(const base::core::String& message) override;

    // The reply; throws PluginException with the host's message on an error answer, and when no
    // answer came within `seconds`.
    base::core::SmartPtr<plugin::PluginHostReply> wait(double seconds);

private:
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    base::core::SmartPtr<plugin::PluginHostReply> reply;
    base::core::String error;
};

} // namespace render
