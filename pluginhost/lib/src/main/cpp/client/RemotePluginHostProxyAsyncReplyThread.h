#pragma once

#include "base/core/Thread.h"

namespace plugin {

class RemotePluginHostProxy;

// Reads the async channel: answers to asynchronous requests and notifications.
class RemotePluginHostProxyAsyncReplyThread : public base::core::Thread {
public:
    explicit RemotePluginHostProxyAsyncReplyThread(RemotePluginHostProxy* proxy);
    ~RemotePluginHostProxyAsyncReplyThread() override { join(); }
    void run() override;

private:
    RemotePluginHostProxy* proxy;
};

} // namespace plugin
