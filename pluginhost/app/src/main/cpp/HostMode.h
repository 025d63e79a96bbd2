#pragma once

namespace plugin {

// `plugin-host host <sample rate> <block size> <host id> <audio threads>`: serves a client over the
// named pipes until it shuts the host down, then ends the process with status 0.
[[noreturn]] void runHostMode(char** argv);

} // namespace plugin
