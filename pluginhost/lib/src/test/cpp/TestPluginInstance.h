#pragma once

#include "TestPluginWindow.h"

#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "plugin/PluginAudioBus.h"
#include "plugin/PluginInstance.h"

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace plugin::test {

// A complete in-memory instance for tests: everything it reports is configured through its public
// fields, and it records the calls made on it. No plug-in is loaded. Texts are raw bytes, so tests
// can hand out bytes that are not valid UTF-8.
class TestPluginInstance : public PluginInstance {
public:
    struct Parameter {
        std::string name;
        std::string display;
        std::string unit;
        float value = 0.0f;
        PluginParameterInfo info;
    };

    TestPluginInstance(PluginHost* host, int instanceId, bool flag = false)
        : PluginInstance(host, instanceId, flag) {}

    // Appends a parameter whose info index is its position.
    Parameter& addParameter(const std::string& name, float value = 0.0f, const std::string& display = "",
                            const std::string& unit = "") {
        PluginParameterInfo info;
        info.index = static_cast<int32_t>(parameters.size());
        info.automatable = true;
        return parameters.emplace_back(Parameter{name, display, unit, value, info});
    }
    void addBus(bool output, const base::core::String& name, int firstChannel, int channelCount) {
        (output ? outputBuses : inputBuses).push_back(new PluginAudioBus(name, firstChannel, channelCount));
        (output ? outputChannelTotal : inputChannelTotal) += channelCount;
    }

    std::vector<Parameter> parameters;
    std::vector<std::string> programs;
    std::array<base::core::String, 128> keyNames;
    int latency = 0;
    bool mpe = false;
    bool noteOutput = false;
    // When set, called (to throw) by loadPreset, after it recorded its path, and by savePreset.
    std::function<void()> presetFailure;

    // Recorded calls.
    int openCount = 0;
    std::vector<base::core::String> loadedPresets;
    // Whether the setting-up flag was set when a parameter name was last asked for, and when
    // prepareBeforeGettingInstanceReply ran.
    bool settingUpDuringQueries = false, settingUpWhilePreparing = false;

    TestPluginWindow* getTestWindow() const { return static_cast<TestPluginWindow*>(getWindow()); }

    PluginApi* getApi() override { return nullptr; }
    bool wasSucessfullyInstanciated() const override { return true; }
    void prepareBeforeGettingInstanceReply() override { settingUpWhilePreparing = isSettingUp(); }
    std::vector<PluginClass> getSupportPluginClasses() override { return {AUDIO_TO_AUDIO}; }
    bool hasAudioInput() const override { return !inputBuses.empty(); }
    bool hasNoteInput() const override { return false; }
    bool hasAudioOutput() const override { return !outputBuses.empty(); }
    bool hasNoteOutput() const override { return noteOutput; }
    bool wantSysexEvents() const override { return false; }
    bool supportsMPE() const override { return mpe; }
    bool supportsDPIScaling() const override { return false; }
    int getPluginState() override { return state; }
    void listAudioInputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) override {
        buses.insert(buses.end(), inputBuses.begin(), inputBuses.end());
    }
    void listAudioOutputBuses(std::vector<base::core::SmartPtr<PluginAudioBus>>& buses) override {
        buses.insert(buses.end(), outputBuses.begin(), outputBuses.end());
    }
    int getTotalAudioInChannelCount() override { return inputChannelTotal; }
    int getTotalAudioOutChannelCount() override { return outputChannelTotal; }
    base::core::String getProductName() override { return "Test Plug-in"; }
    base::core::String getProductVendorName() override { return "Test Vendor"; }
    base::core::String getProductIdentifier() override { return "test-plugin"; }
    base::core::String getCategory() override { return "Fx"; }
    base::core::String getProductVersion() override { return "1.0"; }
    int getPluginLatency() override { return latency; }
    void open() override {
        ++openCount;
        state = OPEN;
    }
    void destroy() override { state = DESTROYED; }
    void startProcess() override { state = PROCESSING; }
    void stopProcess() override { state = OPEN; }
    int getProgramCount() override { return static_cast<int>(programs.size()); }
    // As a plug-in does: at most size bytes, terminator included.
    void getProgramName(int index, char* buffer, unsigned long size) override {
        std::snprintf(buffer, size, "%s", programs.at(index).c_str());
    }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram(int, int) override {}
    void getParameterName(int index, char* buffer, unsigned long size) override {
        settingUpDuringQueries = isSettingUp();
        std::snprintf(buffer, size, "%s", parameters.at(index).name.c_str());
    }
    void getParameterDisplay(int index, char* buffer, unsigned long size) override {
        std::snprintf(buffer, size, "%s", parameters.at(index).display.c_str());
    }
    void getParameterUnit(int index, char* buffer, unsigned long size) override {
        std::snprintf(buffer, size, "%s", parameters.at(index).unit.c_str());
    }
    void getParameterInfo(int index, PluginParameterInfo& info) override { info = parameters.at(index).info; }
    float getParameterNormalizedValue(int index) override { return parameters.at(index).value; }
    void setParameterNormalizedValue(int index, float value) override {
        parameters.at(index).value = value;
        PluginInstance::setParameterNormalizedValue(index, value);
    }
    int process(unsigned int, bool, bool) override { return 0; }
    int getParameterCount() const override { return static_cast<int>(parameters.size()); }
    base::core::String getKeyName(int key) override { return keyNames.at(key); }
    bool hasGUI() const override { return true; }
    bool canResizeGUI() const override { return false; }
    void checkGUISizeConstraints(int&, int&) const override {}
    void openGUI(void*, bool, const base::core::String&) override {
        setWindow(std::make_unique<TestPluginWindow>(getHost(), this));
    }
    void closeGUI() override {
        deleteWindow();
        setHidden(false);
    }
    void windowWasClosedFromGui() override {}
    void onScrollWheel(float) override {}
    void onKeyDown(base::core::Char, short, short) override {}
    void onKeyUp(base::core::Char, short, short) override {}
    void onFocus(bool) override {}
    void validateViewSize(PluginSize*) override {}
    void loadPreset(const base::core::String& path) override {
        loadedPresets.push_back(path);
        if (presetFailure)
            presetFailure();
    }
    void savePreset(const base::core::String&) override {
        if (presetFailure)
            presetFailure();
    }

private:
    std::vector<base::core::SmartPtr<PluginAudioBus>> inputBuses;
    std::vector<base::core::SmartPtr<PluginAudioBus>> outputBuses;
    int inputChannelTotal = 0;
    int outputChannelTotal = 0;
    int state = CREATED;
};

} // namespace plugin::test
