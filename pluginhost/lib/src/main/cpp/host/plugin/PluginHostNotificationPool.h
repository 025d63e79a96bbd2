#pragma once

#include "base/core/Mutex.h"
#include "base/core/SmartPtr.h"
#include "plugin/PluginHostNotificationRecycler.h"

#include <vector>

namespace plugin {

class BeginOrEndEditParameterNotification;
class PluginHostNotification;
class PluginHostProxyHandler;
class PluginInstance;
class UpdateParameterNotification;

// Notifications made ready in advance for the ones plug-ins raise while processing (automation and
// edit gestures), so that an audio thread posting one allocates nothing. Released notifications come
// back here on the main thread. When the pool runs dry, a new notification is made.
class PluginHostNotificationPool : public PluginHostNotificationRecycler {
public:
    static constexpr int DEFAULT_CAPACITY = 1024;

    explicit PluginHostNotificationPool(int capacity = DEFAULT_CAPACITY);
    PluginHostNotificationPool(const PluginHostNotificationPool&) = delete;
    PluginHostNotificationPool& operator=(const PluginHostNotificationPool&) = delete;
    ~PluginHostNotificationPool();

    base::core::SmartPtr<PluginHostNotification>
    makeUpdateParameter(PluginHostProxyHandler* handler, PluginInstance* instance, int index, float value);
    base::core::SmartPtr<PluginHostNotification> makeBeginOrEndEditParameter(PluginHostProxyHandler* handler,
                                                                             PluginInstance* instance,
                                                                             int index, bool begin);
    // Called by a pooled notification whose last reference went.
    void recycle(PluginHostNotification* notification) override;

private:
    base::core::Mutex mutex;
    std::vector<UpdateParameterNotification*> updates;
    std::vector<BeginOrEndEditParameterNotification*> edits;
};

} // namespace plugin
