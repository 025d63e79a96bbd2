#pragma once

#include "TestProxyProvider.h"

#include "base/core/String.h"

#include <cstdint>

namespace plugin {

// The host id of the next child host; the first is 1.
extern int32_t nextPluginHostId;

// Tests each plug-in in a fresh `plugin-host host` child process, so that a plug-in that crashes or
// hangs ends only its own test: the proxy's deadlines end a host that stops answering. Testing thread
// only.
class SandboxedTestProxyProvider : public TestProxyProvider {
public:
    // `executablePath`: this program, started as the child host.
    explicit SandboxedTestProxyProvider(const base::core::String& executablePath);

    base::core::SmartPtr<PluginHostProxy> getProxy() override;

private:
    base::core::String executablePath;
};

} // namespace plugin
