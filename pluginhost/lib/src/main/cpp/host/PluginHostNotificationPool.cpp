#include "plugin/PluginHostNotificationPool.h"

#include "base/core/LockGuard.h"
#include "plugin/PluginHostNotifications.h"

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;

PluginHostNotificationPool::PluginHostNotificationPool(int capacity) {
    updates.reserve(capacity);
    edits.reserve(capacity);
    for (int i = 0; i < capacity; ++i) {
        updates.push_back(new UpdateParameterNotification(nullptr));
        updates.back()->setPool(this);
        edits.push_back(new BeginOrEndEditParameterNotification(nullptr));
        edits.back()->setPool(this);
    }
}

PluginHostNotificationPool::~PluginHostNotificationPool() {
    for (auto* notification : updates)
        delete notification;
    for (auto* notification : edits)
        delete notification;
}

SmartPtr<PluginHostNotification>
PluginHostNotificationPool::makeUpdateParameter(PluginHostProxyHandler* handler, PluginInstance* instance,
                                                int index, float value) {
    UpdateParameterNotification* notification = nullptr;
    {
        LockGuard guard(mutex);
        if (!updates.empty()) {
            notification = updates.back();
            updates.pop_back();
        }
    }
    if (!notification)
        return new UpdateParameterNotification(handler, instance, index, value);
    notification->set(handler, instance, index, value);
    return notification;
}

SmartPtr<PluginHostNotification>
PluginHostNotificationPool::makeBeginOrEndEditParameter(PluginHostProxyHandler* handler,
                                                        PluginInstance* instance, int index, bool begin) {
    BeginOrEndEditParameterNotification* notification = nullptr;
    {
        LockGuard guard(mutex);
        if (!edits.empty()) {
            notification = edits.back();
            edits.pop_back();
        }
    }
    if (!notification)
        return new BeginOrEndEditParameterNotification(handler, instance, index, begin);
    notification->set(handler, instance, index, begin);
    return notification;
}

void PluginHostNotificationPool::recycle(PluginHostNotification* notification) {
    // Let go of the handler before taking the lock; capacity was reserved for every pooled notification,
    // so the push never allocates.
    if (auto* update = dynamic_cast<UpdateParameterNotification*>(notification)) {
        update->set(nullptr, nullptr, 0, 0.0f);
        LockGuard guard(mutex);
        updates.push_back(update);
    } else if (auto* edit = dynamic_cast<BeginOrEndEditParameterNotification*>(notification)) {
        edit->set(nullptr, nullptr, 0, false);
        LockGuard guard(mutex);
        edits.push_back(edit);
    }
}

} // namespace plugin
