#pragma once

namespace plugin {

class PluginHostNotification;
class PluginHostRequest;

// Host side, main thread: what a request or notification posted to the main thread does there. The
// host's PluginHostProxyHandler holds one; the messages reach it through their handler, so that they
// carry no host code themselves and the client links them without any.
class PluginHostMessageRunner {
public:
    virtual ~PluginHostMessageRunner() = default;

    // The request's work on the host; the answer goes back through the handler.
    virtual void runRequest(PluginHostRequest* request) = 0;
    // Sends the notification, unless the instance it speaks of has gone meanwhile.
    virtual void runNotification(PluginHostNotification* notification) = 0;
};

} // namespace plugin
