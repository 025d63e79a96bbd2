#include "client/RemotePluginHostProxyAsyncReplyThread.h"

#include "client/RemotePluginHostProxy.h"

namespace plugin {

RemotePluginHostProxyAsyncReplyThread::RemotePluginHostProxyAsyncReplyThread(RemotePluginHostProxy* proxy)
    : Thread("Plugin async reply", 4), proxy(proxy) {}

void RemotePluginHostProxyAsyncReplyThread::run() {
    proxy->readAsyncReplies();
}

} // namespace plugin
