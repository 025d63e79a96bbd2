#pragma once

namespace plugin {

// `plugin-host host <sample rate> <block size> <host id> <audio threads>`: serves a client over the
// named pipes until it shuts the host down. Returns the process's exit status.
int runHostMode(char** argv);

} // namespace plugin
