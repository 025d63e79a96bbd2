#include "PluginTests.h"

#include "PluginModuleFinder.h"
#include "TestAudioThread.h"
#include "TestProxyProvider.h"
#include "TestReplyHandler.h"
#include "TestingNotificationListener.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "client/PluginHostProxy.h"
#include "client/RemotePluginHostProxy.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginInstanceState.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

void progress(const String& line) {
    base::core::getOut()->writeLineAndFlush(line);
}

void sleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void recordFailure(TestResults* results, const String& path, const String& message) {
    results->failedPaths.push_back(path);
    results->failureMessages.push_back(message);
}

// A host process that died before a request could be sent fails that request with a bare "communication
// lost"; the cause of the death, as a waiting request would have been told it, says more.
String describeFailure(PluginHostProxy* proxy, const base::core::Exception& e) {
    if (auto* remote = dynamic_cast<RemotePluginHostProxy*>(proxy); remote && remote->hasDied()) {
        const String death = remote->getDeathText();
        if (!death.isEmpty())
            return death;
    }
    return e.getMessage();
}

// The whole test of one module; every outcome is recorded.
void testPlugin(TestProxyProvider* provider, const FilePath& path, TestResults* results) {
    const String testedPath = LocalFileSystem::filePathToNative(path);
    progress("\n\n--------------------------------------------------------------------\n");
    progress(StringBuilder() + "Testing plugin " + testedPath);

    SmartPtr<PluginHostProxy> proxy;
    try {
        proxy = provider->getProxy();
    } catch (const base::core::Exception& e) {
        recordFailure(results, testedPath,
                      StringBuilder() + "Could not start plug-in host: " + e.getMessage());
        return;
    }

    std::atomic<bool> renderedOk{false};
    SmartPtr<TestAudioThread> audioThread;
    try {
        const FilePath withoutExtension = path.getFilePathWithoutExtension();
        const FilePath bank = LocalFileSystem::filePathFromNative(
            StringBuilder() + LocalFileSystem::filePathToNative(withoutExtension) + ".fxb");
        const String initialPreset = LocalFileSystem::getInstance()->isFile(bank)
                                         ? LocalFileSystem::filePathToNative(bank)
                                         : String("");

        REPLY_HANDLER->forgetAnswer();
        progress("Creating plug-in instance");
        const int instanceId = proxy->createPluginInstance(
            testedPath, "0", initialPreset, false, REPLY_HANDLER.get(), new TestingNotificationListener());
        const SmartPtr<PluginHostReply> answer = REPLY_HANDLER->waitForReply();
        auto* reply = dynamic_cast<CreatePluginInstanceReply*>(answer.get());
        if (!reply)
            throw base::core::Exception("The host answered the creation with another reply");
        progress("Successfully created plug-in instance");
        reply->print(base::core::getOut());
        base::core::getOut()->flush();

        if (!reply->getAudioContext())
            throw base::core::Exception("The created instance has no audio context");
        audioThread = new TestAudioThread(reply->getAudioContext(), &renderedOk);
        audioThread->start();

        if (reply->hasGUI()) {
            progress("Opening plug-in GUI");
            proxy->openGUI(instanceId, 0, true, "Test");
            progress("Plugin GUI is open");
            sleepMilliseconds(500);
        }
        sleepMilliseconds(100);
        progress("Saving preset");
        proxy->savePreset(instanceId,
                          StringBuilder() + LocalFileSystem::filePathToNative(withoutExtension) + "-test.fxb",
                          REPLY_HANDLER.get());
        REPLY_HANDLER->waitForReply();

        const int programCount = static_cast<int>(reply->getState()->getPrograms().size());
        for (int program = 0; program < programCount; ++program) {
            sleepMilliseconds(50);
            progress(StringBuilder() + "Setting current program number " + program);
            proxy->setCurrentProgram(instanceId, program);
        }
        audioThread->join();

        if (reply->hasGUI()) {
            progress("Closing plug-in GUI");
            proxy->closeGUI(instanceId);
            progress("Plugin GUI is closed");
        }
        progress("Destroying plug-in instance");
        proxy->destroyPluginInstance(instanceId);
        proxy->shutdown();
        progress("Plugin instance destroyed");

        if (renderedOk.load()) {
            results->passedPaths.push_back(testedPath);
            progress(StringBuilder() + testedPath + " passed!");
        } else {
            recordFailure(results, testedPath,
                          StringBuilder() + "Error rendering audio :" + audioThread->getErrorMessage());
        }
    } catch (const base::core::Exception& e) {
        const String message = StringBuilder() + "Could not test plug-in: " + describeFailure(proxy.get(), e);
        base::core::getError()->writeLineAndFlush(message);
        recordFailure(results, testedPath, message);
        if (audioThread) {
            progress("Test failed waiting for test audio engine to complete");
            audioThread->join();
        }
    }
}

} // namespace

void runTests(TestProxyProvider* provider, const FilePath& path, TestResults* results) {
    findPluginModules(path, [&](const FilePath& module) { testPlugin(provider, module, results); });
}

int runTests(TestProxyProvider* provider, const FilePath& path) {
    TestResults results;
    runTests(provider, path, &results);
    progress("Passed plugins:\n");
    for (const String& passed : results.passedPaths)
        progress(StringBuilder() + "    " + passed);
    if (!results.failedPaths.empty()) {
        progress("\n\nFailed plugins:\n");
        for (size_t i = 0; i < results.failedPaths.size(); ++i)
            progress(StringBuilder() + "    " + results.failedPaths[i] + ":      " +
                     results.failureMessages[i]);
    }
    progress(StringBuilder() + "\n\nPassed : " + static_cast<int>(results.passedPaths.size()) +
             " Failed: " + static_cast<int>(results.failedPaths.size()));
    return static_cast<int>(results.failedPaths.size());
}

} // namespace plugin
