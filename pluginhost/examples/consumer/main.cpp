// A workstation's first steps with the client library: start a host process, load a plug-in in it and
// process one block of audio through the shared block.

#include "base/core/Exception.h"
#include "client/RemotePluginHostLauncher.h"
#include "client/RemotePluginHostProxy.h"
#include "client/RemotePluginHostProxyManager.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginHostReplies.h"
#include "plugin/PluginHostRequests.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <stdexcept>
#include <unistd.h>

using namespace plugin;
using base::core::SmartPtr;
using base::core::String;

// Told once when the host dies; says which of the host's audio channels the calling thread uses.
class Manager : public RemotePluginHostProxyManager {
public:
    void remotePluginHostDied(RemotePluginHostProxy*, const String& message, bool) override {
        std::fprintf(stderr, "plug-in host died: %s\n", message.getStdString().c_str());
    }
    int getAudioThreadIdForCurrentThread() override { return 0; }
};

// Receives the answer to the creation request on the proxy's async reply thread.
class CreationAnswer : public PluginHostAsyncReplyHandler {
public:
    std::promise<SmartPtr<PluginHostReply>> reply;

    void replyCanceled() override { handleError("canceled"); }
    void handleReply(PluginHostReply* answer) override { reply.set_value(answer); }
    void handleError(const String& message) override {
        reply.set_exception(std::make_exception_ptr(std::runtime_error(message.getStdString())));
    }
};

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s PLUGIN\n", argv[0]);
        return 2;
    }
    try {
        RemotePluginHostLauncher::Settings settings;
        settings.executable = PLUGIN_HOST_EXECUTABLE; // from the package: <prefix>/bin/plugin-host
        settings.hostId = static_cast<int>(getpid()); // names the host's pipes and shared memory
        settings.sampleRate = 44100;
        settings.blockSize = 256;
        settings.audioThreadCount = 1;
        SmartPtr<Manager> manager(new Manager());
        SmartPtr<RemotePluginHostProxy> host = RemotePluginHostLauncher::connect(settings, manager.get());

        SmartPtr<CreationAnswer> answer(new CreationAnswer());
        std::future<SmartPtr<PluginHostReply>> created = answer->reply.get_future();
        const int id = host->createPluginInstance(argv[1], "", "", false, answer.get(), nullptr);
        if (created.wait_for(std::chrono::seconds(30)) != std::future_status::ready)
            throw std::runtime_error("the host did not answer");
        const SmartPtr<PluginHostReply> reply = created.get();
        PluginAudioContext* audio = static_cast<CreatePluginInstanceReply*>(reply.get())->getAudioContext();

        // The samples stay in shared memory; only an 11-byte command and a 4-byte answer cross the pipe.
        audio->startProcessing();
        for (int channel = 0; channel < audio->getInputChannelCount(); ++channel)
            for (int i = 0; i < settings.blockSize; ++i)
                audio->getInputChannel(channel)[i] =
                    0.5f * std::sin(2 * M_PI * 440 * i / settings.sampleRate);
        audio->processAudio(settings.blockSize, true, false);
        audio->stopProcessing();
        float peak = 0;
        for (int channel = 0; channel < audio->getOutputChannelCount(); ++channel)
            for (int i = 0; i < settings.blockSize; ++i)
                peak = std::fmax(peak, std::fabs(audio->getOutputChannel(channel)[i]));
        std::printf("%d inputs, %d outputs, output peak %.3f\n", audio->getInputChannelCount(),
                    audio->getOutputChannelCount(), peak);
        host->destroyPluginInstance(id);
    } catch (const base::core::Exception& e) {
        std::fprintf(stderr, "%s\n", e.getMessage().getStdString().c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0; // releasing the last reference to the proxy shuts the host down
}
