#pragma once

#include "plugin/PluginInstance.h"
#include "plugin/PluginWindow.h"

#include <utility>
#include <vector>

namespace plugin::test {

// An editor window without a screen: it records what it is asked to do.
class TestPluginWindow : public PluginWindow {
public:
    TestPluginWindow(PluginHost* host, PluginInstance* instance) : PluginWindow(host, instance) {}

    void activate() override { ++activateCount; }
    void hide() override { ++hideCount; }
    void show() override {
        ++showCount;
        suppressedWhileShown = instance->areWindowNotificationsSuppressed();
    }
    void setTitle(const base::core::String& newTitle) override { title = newTitle; }
    void resize(int width, int height) override { sizes.emplace_back(width, height); }
    void move(int x, int y) override { positions.emplace_back(x, y); }
    bool afterPluginWindowAttached() override {
        ++attachedCount;
        return attachable;
    }

    int activateCount = 0, hideCount = 0, showCount = 0, attachedCount = 0;
    bool attachable = true;
    // Whether the instance's window notifications were suppressed during the last show().
    bool suppressedWhileShown = false;
    base::core::String title;
    std::vector<std::pair<int, int>> sizes, positions;
};

} // namespace plugin::test
