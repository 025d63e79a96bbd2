#pragma once

namespace plugin {

class PluginHostNotification;

// Host side: where a pooled notification goes back when its last reference is released, instead of
// being deleted (the host's notification pool). Called on whichever thread releases it.
class PluginHostNotificationRecycler {
public:
    virtual void recycle(PluginHostNotification* notification) = 0;

protected:
    ~PluginHostNotificationRecycler() = default;
};

} // namespace plugin
