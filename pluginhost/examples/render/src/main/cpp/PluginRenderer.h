#pragma once

#include <string>

namespace render {

struct RenderOptions {
    std::string plugin;
    std::string input;
    std::string output;
    std::string preset;
    std::string deviceId;
    int blockSize = 512;
};

// Client side: renders an audio file through one plug-in in a `plugin-host host` child process, block by
// block, and writes what the plug-in produced (its latency not compensated) in the input's file format.
// The output is written to a temporary file beside OUTPUT and renamed only when the render succeeded,
// and the input is only ever read. Failures throw base::core::Exception with a message for the user.
class PluginRenderer {
public:
    explicit PluginRenderer(RenderOptions options) : options(std::move(options)) {}

    void run();

private:
    RenderOptions options;
};

} // namespace render
