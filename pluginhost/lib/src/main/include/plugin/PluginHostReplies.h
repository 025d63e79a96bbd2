#pragma once

#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginAudioContext.h"
#include "plugin/PluginInstanceState.h"

#include <cstdint>

namespace base::core {
class InputStream;
class OutputStream;
} // namespace base::core

namespace plugin {

// Both sides: the answer to a request. Its type is not sent: the client knows it from the request, whose
// readReply reads the body that write wrote.
class PluginHostReply : public base::core::Object {
public:
    enum ReplyType { CREATE_PLUGIN_INSTANCE = 0, SAVE_PRESET = 1, LOAD_PRESET = 2, DEFINE_IO = 3 };

    virtual int getReplyType() const = 0;
    // The body, after the status byte.
    virtual void write(base::core::OutputStream* out) const = 0;
};

class CreatePluginInstanceReply : public PluginHostReply {
public:
    // The host makes it with makeCreatePluginInstanceReply (host library).
    CreatePluginInstanceReply(int32_t instanceId, int32_t audioInChannelCount, int32_t audioOutChannelCount,
                              int32_t latency, bool gui, PluginInstanceState* state);
    explicit CreatePluginInstanceReply(base::core::InputStream* in);

    int getReplyType() const override { return CREATE_PLUGIN_INSTANCE; }
    void write(base::core::OutputStream* out) const override;
    void print(base::core::OutputStream* out) const;

    int32_t getInstanceId() const { return instanceId; }
    int32_t getAudioInChannelCount() const { return audioInChannelCount; }
    int32_t getAudioOutChannelCount() const { return audioOutChannelCount; }
    int32_t getLatency() const { return latency; }
    bool hasGUI() const { return gui; }
    PluginInstanceState* getState() const { return state.get(); }
    // Client side only: the instance's audio context, filled in when the reply arrives; never sent.
    PluginAudioContext* getAudioContext() const { return audioContext.get(); }
    void setAudioContext(PluginAudioContext* context) { audioContext = context; }

private:
    int32_t instanceId;
    int32_t audioInChannelCount;
    int32_t audioOutChannelCount;
    int32_t latency;
    bool gui;
    base::core::SmartPtr<PluginInstanceState> state;
    base::core::SmartPtr<PluginAudioContext> audioContext;
};

// The answer to a preset request. Has no body: the client builds it from its own request.
class PresetReply : public PluginHostReply {
public:
    void write(base::core::OutputStream*) const override {}

    int32_t getInstanceId() const { return instanceId; }
    const base::core::String& getPresetPath() const { return presetPath; }

protected:
    PresetReply(int32_t instanceId, const base::core::String& presetPath)
        : instanceId(instanceId), presetPath(presetPath) {}

private:
    int32_t instanceId;
    base::core::String presetPath;
};

class SavePresetReply : public PresetReply {
public:
    SavePresetReply(int32_t instanceId, const base::core::String& presetPath)
        : PresetReply(instanceId, presetPath) {}
    int getReplyType() const override { return SAVE_PRESET; }
};

class LoadPresetReply : public PresetReply {
public:
    LoadPresetReply(int32_t instanceId, const base::core::String& presetPath)
        : PresetReply(instanceId, presetPath) {}
    int getReplyType() const override { return LOAD_PRESET; }
};

class DefineIoReply : public PluginHostReply {
public:
    // The host makes it with makeDefineIoReply (host library).
    DefineIoReply(int32_t instanceId, int32_t audioInChannelCount, int32_t audioOutChannelCount,
                  int32_t latency, PluginInstanceState* state);
    explicit DefineIoReply(base::core::InputStream* in);

    int getReplyType() const override { return DEFINE_IO; }
    void write(base::core::OutputStream* out) const override;

    int32_t getInstanceId() const { return instanceId; }
    int32_t getAudioInChannelCount() const { return audioInChannelCount; }
    int32_t getAudioOutChannelCount() const { return audioOutChannelCount; }
    int32_t getLatency() const { return latency; }
    PluginInstanceState* getState() const { return state.get(); }

private:
    int32_t instanceId;
    int32_t audioInChannelCount;
    int32_t audioOutChannelCount;
    int32_t latency;
    base::core::SmartPtr<PluginInstanceState> state;
};

} // namespace plugin
