#pragma once

namespace plugin {

// A proposed editor size that an instance may adjust in place.
struct PluginSize {
    int width = 0;
    int height = 0;
};

} // namespace plugin
