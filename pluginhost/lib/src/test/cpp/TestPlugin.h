#pragma once

#include "TestPluginInstance.h"

#include "plugin/Plugin.h"

#include <functional>
#include <utility>

namespace plugin::test {

// A module that makes TestPluginInstances, each shaped by `configure` before it is opened. A path ending in
// "missing.so" does not load; one ending in "empty.so" loads but makes no instances.
class TestPlugin : public Plugin {
public:
    TestPlugin(PluginHost* host, const base::core::String& path, PluginApi* api,
               std::function<void(TestPluginInstance&)> configure)
        : host(host), path(path), api(api), configure(std::move(configure)) {}

    bool wasSuccesfullyLoaded() override { return !path.endsWith("missing.so"); }
    base::core::SmartPtr<PluginInstance> createInstance(int instanceId, const base::core::String&,
                                                        bool flag) override {
        if (path.endsWith("empty.so"))
            return nullptr;
        base::core::SmartPtr<TestPluginInstance> instance = new TestPluginInstance(host, instanceId, flag);
        if (configure)
            configure(*instance);
        return instance;
    }
    void listDeviceIds(std::vector<base::core::String>& deviceIds) override { deviceIds.push_back(""); }
    const base::core::String& getPath() override { return path; }
    PluginApi* getApi() override { return api; }

private:
    PluginHost* host;
    base::core::String path;
    PluginApi* api;
    std::function<void(TestPluginInstance&)> configure;
};

} // namespace plugin::test
