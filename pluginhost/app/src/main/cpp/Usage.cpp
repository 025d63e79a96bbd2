#include "Usage.h"

#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"

namespace plugin {

void printUsage() {
    // The text still names the historical "debug" action and two-pipe host form; clients parse it as is.
    static const char* const lines[] = {
        "",
        "Usage:",
        "  plugin-host <action> <vstpath>",
        "",
        "  <action>  is one of list|info|info-file|test|test-local|host",
        "  <vstpath> is either ...",
        "  ... the path to a VST directory for the action debug and list.",
        "  ... the path to a VST file for the actions info and host.",
        "",
        "Examples:",
        "  plugin-host debug /path/to/vstdir",
        "  plugin-host list /path/to/vstdir",
        "  plugin-host info /path/to/vstfile",
        "  plugin-host info-file /path/to/info-file /path/to/vstfile",
        "  plugin-host host inputpipe outputpipe",
        "",
    };
    base::core::OutputStream* out = base::core::getOut();
    for (const char* line : lines) {
        out->writeLineAndFlush(line);
    }
}

} // namespace plugin
