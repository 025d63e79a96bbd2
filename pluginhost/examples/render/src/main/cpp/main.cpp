// plugin-host-render PLUGIN INPUT OUTPUT [--block N] [--preset FILE] [--device-id ID]
// Renders an audio file through one plug-in hosted in a separate `plugin-host` process.

#include "PluginRenderer.h"
#include "base/core/Exception.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int USAGE_ERROR = 2;
constexpr int MAX_BLOCK_SIZE = 8192;

int usage(const char* problem) {
    std::fprintf(
        stderr,
        "plugin-host-render: %s\n"
        "Usage: plugin-host-render PLUGIN INPUT OUTPUT [--block N] [--preset FILE] [--device-id ID]\n"
        "  PLUGIN        a VST 2 module (.so)\n"
        "  INPUT         an audio file; OUTPUT gets the same format\n"
        "  --block N     frames per block, 1 to %d (default 512)\n"
        "  --preset FILE a preset the plug-in loads before rendering\n"
        "  --device-id   the plug-in inside a shell module\n",
        problem, MAX_BLOCK_SIZE);
    return USAGE_ERROR;
}

} // namespace

int main(int argc, char** argv) {
    render::RenderOptions options;
    std::string positional[3];
    int positionalCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--block" || argument == "--preset" || argument == "--device-id") {
            if (i + 1 >= argc)
                return usage((argument + " needs a value").c_str());
            const std::string value = argv[++i];
            if (argument == "--preset") {
                options.preset = value;
            } else if (argument == "--device-id") {
                options.deviceId = value;
            } else {
                char* end = nullptr;
                const long blockSize = std::strtol(value.c_str(), &end, 10);
                if (*end != 0 || blockSize < 1 || blockSize > MAX_BLOCK_SIZE)
                    return usage(("invalid block size " + value).c_str());
                options.blockSize = static_cast<int>(blockSize);
            }
        } else if (argument.rfind("--", 0) == 0) {
            return usage(("unknown option " + argument).c_str());
        } else if (positionalCount < 3) {
            positional[positionalCount++] = argument;
        } else {
            return usage(("unexpected argument " + argument).c_str());
        }
    }
    if (positionalCount < 3)
        return usage("PLUGIN, INPUT and OUTPUT are needed");
    options.plugin = positional[0];
    options.input = positional[1];
    options.output = positional[2];
    try {
        render::PluginRenderer(options).run();
    } catch (const base::core::Exception& e) {
        std::fprintf(stderr, "plugin-host-render: %s\n", e.getMessage().getStdString().c_str());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
