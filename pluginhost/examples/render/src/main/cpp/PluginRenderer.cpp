#include "PluginRenderer.h"

#include "ProgressBar.h"
#include "RenderHostManager.h"
#include "ReplyWaiter.h"
#include "base/core/IOException.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "client/RemotePluginHostLauncher.h"
#include "client/RemotePluginHostProxy.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginException.h"
#include "plugin/PluginHostReplies.h"

#include <sndfile.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace render {

using base::core::IOException;
using base::core::SmartPtr;
using base::core::StringBuilder;
using plugin::PluginException;

namespace {

// Loading a plug-in can take a while (some scan their presets); a host that needs longer is stuck.
constexpr double CREATE_TIMEOUT_SECONDS = 30;
constexpr double PRESET_TIMEOUT_SECONDS = 30;

// The executable is installed beside this program, in the build tree as in a package.
std::string hostExecutable() {
    std::vector<char> self(4096);
    const ssize_t length = readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0)
        throw IOException(StringBuilder() +
                          "Could not find this program's own path: " + std::strerror(errno));
    std::string path(self.data(), static_cast<size_t>(length));
    path = path.substr(0, path.rfind('/') + 1) + "plugin-host";
    if (access(path.c_str(), X_OK) != 0)
        throw IOException(StringBuilder() + "Could not find the plug-in host \"" + path +
                          "\" beside this program: " + std::strerror(errno));
    return path;
}

// Writing over the input would destroy it when the render fails half-way; it is refused instead.
void refuseToOverwriteInput(const std::string& input, const std::string& output) {
    struct stat in {};
    struct stat out {};
    if (stat(input.c_str(), &in) == 0 && stat(output.c_str(), &out) == 0 && in.st_dev == out.st_dev &&
        in.st_ino == out.st_ino)
        throw IOException(StringBuilder() + "The output \"" + output +
                          "\" is the input file; choose another");
}

// Removes the temporary output unless the render got as far as renaming it.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path) : path(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (!path.empty())
            std::remove(path.c_str());
    }
    const std::string& getPath() const { return path; }
    void moveTo(const std::string& target) {
        if (std::rename(path.c_str(), target.c_str()) != 0)
            throw IOException(StringBuilder() + "Could not write \"" + target +
                              "\": " + std::strerror(errno));
        path.clear();
    }

private:
    std::string path;
};

} // namespace

void PluginRenderer::run() {
    SndfileHandle input(options.input, SFM_READ);
    if (!input.rawHandle())
        throw IOException(StringBuilder() + "Could not read audio file \"" + options.input +
                          "\": " + sf_strerror(nullptr));
    refuseToOverwriteInput(options.input, options.output);

    plugin::RemotePluginHostLauncher::Settings settings;
    settings.executable = hostExecutable();
    settings.hostId = static_cast<int>(getpid());
    settings.sampleRate = input.samplerate();
    settings.blockSize = options.blockSize;
    settings.audioThreadCount = 1;
    SmartPtr<RenderHostManager> manager(new RenderHostManager());
    SmartPtr<plugin::RemotePluginHostProxy> proxy =
        plugin::RemotePluginHostLauncher::connect(settings, manager.get());

    SmartPtr<ReplyWaiter> created(new ReplyWaiter());
    const int instanceId =
        proxy->createPluginInstance(options.plugin, options.deviceId, "", false, created.get(), nullptr);
    SmartPtr<plugin::CreatePluginInstanceReply> reply;
    try {
        reply = dynamic_cast<plugin::CreatePluginInstanceReply*>(created->wait(CREATE_TIMEOUT_SECONDS).get());
    } catch (const PluginException& e) {
        throw PluginException(StringBuilder() + "Could not load plug-in \"" + options.plugin +
                              "\": " + e.getMessage());
    }
    if (!options.preset.empty()) {
        SmartPtr<ReplyWaiter> loaded(new ReplyWaiter());
        proxy->loadPreset(instanceId, options.preset, loaded.get());
        try {
            loaded->wait(PRESET_TIMEOUT_SECONDS);
        } catch (const PluginException& e) {
            throw PluginException(StringBuilder() + "Could not load preset \"" + options.preset +
                                  "\": " + e.getMessage());
        }
    }

    plugin::PluginAudioContext* context = reply->getAudioContext();
    const int fileChannels = input.channels();
    const int inputs = context->getInputChannelCount();
    const int outputs = context->getOutputChannelCount();
    if (outputs == 0)
        throw PluginException(StringBuilder() + "The plug-in \"" + options.plugin +
                              "\" has no audio outputs");
    if (fileChannels > inputs)
        base::core::getError()->writeLine(StringBuilder() + "plugin-host-render: the plug-in has " + inputs +
                                          " audio inputs; channels after the first " + inputs +
                                          " of the input are not used");

    TemporaryFile temporary(options.output + ".partial");
    {
        SndfileHandle output(temporary.getPath(), SFM_WRITE, input.format(), outputs, input.samplerate());
        if (!output.rawHandle())
            throw IOException(StringBuilder() + "Could not write audio file \"" + options.output +
                              "\" with " + outputs +
                              " channels in the input's format: " + sf_strerror(nullptr));
        const int blockSize = context->getBlockSize();
        std::vector<float> in(static_cast<size_t>(blockSize) * fileChannels);
        std::vector<float> out(static_cast<size_t>(blockSize) * outputs);
        ProgressBar progress(input.frames());
        int64_t done = 0;
        try {
            context->startProcessing();
            for (;;) {
                const sf_count_t frames = input.readf(in.data(), blockSize);
                if (frames <= 0)
                    break;
                for (int channel = 0; channel < inputs; ++channel) {
                    float* samples = context->getInputChannel(channel);
                    std::fill(samples, samples + blockSize, 0.0f);
                    for (sf_count_t i = 0; channel < fileChannels && i < frames; ++i)
                        samples[i] = in[i * fileChannels + channel];
                }
                context->getInputEvents().setCount(0);
                context->getOutputEvents().setCount(0);
                context->getParameterChanges().setCount(0);
                context->processAudio(static_cast<unsigned int>(frames), true, false);
                for (int channel = 0; channel < outputs; ++channel) {
                    const float* samples = context->getOutputChannel(channel);
                    for (sf_count_t i = 0; i < frames; ++i)
                        out[i * outputs + channel] = samples[i];
                }
                if (output.writef(out.data(), frames) != frames)
                    throw IOException(StringBuilder() + "Could not write audio file \"" + options.output +
                                      "\": " + output.strError());
                done += frames;
                progress.update(done);
            }
            context->stopProcessing();
        } catch (const IOException& e) {
            if (!proxy->hasDied())
                throw;
            // The thread that saw the death first may still be reporting it to the manager.
            const base::core::String death = manager->getDeathMessage();
            throw PluginException(StringBuilder() + "The plug-in host died while rendering \"" +
                                  options.plugin + "\": " + (death.isEmpty() ? e.getMessage() : death));
        }
    }
    temporary.moveTo(options.output);
    proxy->destroyPluginInstance(instanceId);
}

} // namespace render
