#pragma once

#include "base/core/ConditionVariable.h"
#include "base/core/Mutex.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginHostRequests.h"

namespace plugin {

class PluginHostReply;

// Hands each asynchronous answer of a test from the thread that receives it (a proxy's reply thread, or
// the in-process host's main thread) to the testing thread, which waits in waitForReply().
class TestReplyHandler : public PluginHostAsyncReplyHandler {
public:
    void replyCanceled() override {}
    void handleReply(PluginHostReply* reply) override;
    // A host that dies while a test waits arrives here too, as "Plugin host died: " and the cause.
    void handleError(const base::core::String& message) override;

    // [testing thread] Blocks until an answer has arrived and returns the reply, or raises the error as a
    // base::core::Exception. Without a deadline of its own: a host process that hangs is ended by the
    // proxy's deadlines, which answers with an error.
    base::core::SmartPtr<PluginHostReply> waitForReply();
    // [testing thread] Forgets an answer nobody waited for: a request whose sending failed because its host
    // had died is answered with that death as well. Called before each test, once the previous test's
    // proxy, which alone could still answer, has been shut down.
    void forgetAnswer();

private:
    base::core::Mutex mutex;
    base::core::ConditionVariable condition;
    base::core::SmartPtr<PluginHostReply> reply;
    bool answered = false;
    bool failed = false;
    base::core::String errorMessage;
};

// The one handler through which every test's asynchronous answers arrive.
extern const base::core::SmartPtr<TestReplyHandler> REPLY_HANDLER;

} // namespace plugin
