#include "ReplyWaiter.h"

#include "base/core/StringBuilder.h"
#include "plugin/PluginException.h"

#include <chrono>

namespace render {

using base::core::SmartPtr;
using base::core::String;

void ReplyWaiter::replyCanceled() {
    handleError("The request was canceled");
}

void ReplyWaiter::handleReply(plugin::PluginHostReply* value) {
    std::lock_guard<std::mutex> lock(mutex);
    reply = value;
    done = true;
    answered.notify_all();
}

void ReplyWaiter::handleError(const String& message) {
    std::lock_guard<std::mutex> lock(mutex);
    error = message;
    done = true;
    answered.notify_all();
}

SmartPtr<plugin::PluginHostReply> ReplyWaiter::wait(double seconds) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!answered.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return done; }))
        throw plugin::PluginException(base::core::StringBuilder() +
                                      "The plug-in host did not answer within " + static_cast<int>(seconds) +
                                      " s");
    if (!reply)
        throw plugin::PluginException(error);
    return reply;
}

} // namespace render
