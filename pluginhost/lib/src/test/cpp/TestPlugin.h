#pragma once

#include "TestPluginInstance.h"

#include "plugin/Plugin.h"

#include <functional>

namespace plugin::test {

// A module that makes TestPluginInstances; `configure` shapes each new instance before it is opened.
class TestPlugin : public Plugin {
public:
    TestPlugin(PluginHost* host, const base::core::String& path, bool loaded, PluginApi* api)
        : host(host), path(path), loaded(loaded), api(api) {}

    bool wasSuccesfullyLoaded() override { return loaded; }
    base::core::SmartPtr<PluginInstance> createInstance(int instanceId, const base::core::String&,
                                                        bool flag) override {
        if (!createInstances)
            return nullptr;
        base::core::SmartPtr<TestPluginInstance> instance = new TestPluginInstance(host, instanceId, flag);
        if (configure)
            configure(*instance);
        return instance;
    }
    void listDeviceIds(std::vector<base::core::String>& deviceIds) override { deviceIds.push_back(""); }
    const base::core::String& getPath() override { return path; }
    PluginApi* getApi() override { return api; }

    std::function<void(TestPluginInstance&)> configure;
    bool createInstances = true;

private:
    PluginHost* host;
    base::core::String path;
    bool loaded;
    PluginApi* api;
};

} // namespace plugin::test
