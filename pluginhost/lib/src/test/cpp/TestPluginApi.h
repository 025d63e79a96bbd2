#pragma once

#include "TestPlugin.h"

#include "plugin/PluginApi.h"

namespace plugin::test {

// A format whose modules are TestPlugins. A path ending in "missing.so" does not load; one ending in
// "empty.so" loads but makes no instances. Installs itself as the VST 2 format while it lives.
class TestPluginApi : public PluginApi {
public:
    TestPluginApi() : previous(VST2_PLUGIN_API_INSTANCE) { VST2_PLUGIN_API_INSTANCE = this; }
    TestPluginApi(const TestPluginApi&) = delete;
    TestPluginApi& operator=(const TestPluginApi&) = delete;
    ~TestPluginApi() override { VST2_PLUGIN_API_INSTANCE = previous; }

    base::core::String getName() override { return "Test"; }
    base::core::SmartPtr<Plugin> loadPlugin(PluginHost* host, const base::core::String& path) override {
        ++loadCount;
        base::core::SmartPtr<TestPlugin> plugin =
            new TestPlugin(host, path, !path.endsWith("missing.so"), this);
        plugin->createInstances = !path.endsWith("empty.so");
        plugin->configure = configure;
        return plugin;
    }

    std::function<void(TestPluginInstance&)> configure;
    int loadCount = 0;

private:
    PluginApi* previous;
};

} // namespace plugin::test
