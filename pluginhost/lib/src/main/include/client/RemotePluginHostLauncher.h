#pragma once

#include "base/core/ChildProcess.h"
#include "base/core/NamedServerPipe.h"
#include "base/core/Object.h"
#include "base/core/SmartPtr.h"
#include "base/core/String.h"
#include "client/RemotePluginHostWatchdog.h"

#include <vector>

namespace plugin {

class RemotePluginHostProxy;
class RemotePluginHostProxyManager;

// A `plugin-host host` child process and the server ends of its pipes. connect() starts it and
// returns a proxy connected over "main", "async-replies" and one worker pipe per audio thread; the
// proxy keeps this object, so the FIFO files live as long as the connection.
class RemotePluginHostLauncher : public base::core::Object {
public:
    struct Settings {
        base::core::String executable;
        int hostId = 0;
        int sampleRate = 44100;
        int blockSize = 256;
        int audioThreadCount = 1;
        // How long each answer may take before the host is taken for hung and ended.
        RemotePluginHostWatchdog::Deadlines deadlines;
    };

    // A host that exits before it has connected ends the wait with an IOException instead of a hang.
    // `launcher`, when given, receives the launcher that the proxy keeps (to wait for the process).
    static base::core::SmartPtr<RemotePluginHostProxy> connect(const Settings& settings,
                                                               RemotePluginHostProxyManager* manager,
                                                               RemotePluginHostLauncher** launcher = nullptr);

    int32_t getPid() const { return child->getPid(); }
    // Blocks until the host process ends and returns its exit code (128 + signal when a signal ended it).
    int waitForExit() { return child->waitForExit(); }
    // Any thread: ends the host process with SIGKILL; does nothing once it has been waited for.
    void killHost();
    ~RemotePluginHostLauncher() override;

private:
    explicit RemotePluginHostLauncher(const Settings& settings);
    void waitForConnections(RemotePluginHostProxy& proxy);

    Settings settings;
    std::vector<base::core::SmartPtr<base::core::NamedServerPipe>> pipes;
    base::core::SmartPtr<base::core::ChildProcess> child;
    // Names the launched process itself, so a kill can never reach another one that reuses its id.
    int pidFd = -1;
};

} // namespace plugin
