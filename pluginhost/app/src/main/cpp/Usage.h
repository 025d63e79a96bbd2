#pragma once

namespace plugin {

// The sixteen-line usage text on standard output, each line flushed.
void printUsage();

} // namespace plugin
