#pragma once

#include "TestPlugin.h"

#include "plugin/PluginApi.h"

namespace plugin::test {

// A format whose modules are TestPlugins. Installs itself as the VST 2 format while it lives.
class TestPluginApi : public PluginApi {
public:
    TestPluginApi() : previous(VST2_PLUGIN_API_INSTANCE) { VST2_PLUGIN_API_INSTANCE = this; }
    TestPluginApi(const TestPluginApi&) = delete;
    ~TestPluginApi() override { VST2_PLUGIN_API_INSTANCE = previous; }

    base::core::String getName() override { return "Test"; }
    base::core::SmartPtr<Plugin> loadPlugin(PluginHost* host, const base::core::String& path) override {
        ++loadCount;
        return new TestPlugin(host, path, this, configure);
    }

    std::function<void(TestPluginInstance&)> configure;
    int loadCount = 0;

private:
    PluginApi* previous;
};

} // namespace plugin::test
