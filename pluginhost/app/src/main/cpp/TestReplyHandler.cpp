#include "TestReplyHandler.h"

#include "base/core/Exception.h"
#include "base/core/LockGuard.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginHostReplies.h"

#include <typeinfo>

namespace plugin {

using base::core::LockGuard;
using base::core::SmartPtr;
using base::core::String;

const SmartPtr<TestReplyHandler> REPLY_HANDLER(new TestReplyHandler());

void TestReplyHandler::handleReply(PluginHostReply* value) {
    LockGuard guard(mutex);
    answered = true;
    reply = value;
    condition.broadcast();
}

void TestReplyHandler::handleError(const String& message) {
    LockGuard guard(mutex);
    answered = true;
    failed = true;
    errorMessage = message;
    reply = nullptr;
    condition.broadcast();
}

void TestReplyHandler::forgetAnswer() {
    LockGuard guard(mutex);
    answered = false;
    failed = false;
    reply = nullptr;
}

SmartPtr<PluginHostReply> TestReplyHandler::waitForReply() {
    base::core::OutputStream* out = base::core::getOut();
    out->writeLineAndFlush("Waiting for reply...");
    SmartPtr<PluginHostReply> answer;
    {
        LockGuard guard(mutex);
        while (!answered)
            condition.wait(mutex);
        answered = false;
        if (failed) {
            failed = false;
            throw base::core::Exception(errorMessage);
        }
        answer = std::move(reply);
    }
    if (!answer)
        throw base::core::Exception("The host answered without a reply");
    out->writeLineAndFlush(base::core::StringBuilder() + "Got reply of type " + typeid(*answer).name());
    return answer;
}

} // namespace plugin
