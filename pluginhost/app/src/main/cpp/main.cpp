#include "HostMode.h"
#include "LocalTestProxyProvider.h"
#include "PluginInfoReport.h"
#include "PluginTests.h"
#include "SandboxedTestProxyProvider.h"
#include "Usage.h"

#include "base/core/Exception.h"
#include "base/core/FileOutputStream.h"
#include "base/core/FixedSizeAllocator.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/SmartPtr.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"
#include "plugin/PluginApi.h"
#include "vst2/Vst2PluginApi.h"
#include "vst3/Vst3PluginApi.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::OutputStream;
using base::core::SmartPtr;
using base::core::String;
using base::core::StringBuilder;

namespace {

// Ends the process at once: plug-ins may leave threads and static objects that must not be torn down.
[[noreturn]] void exitNow(int status) {
    base::core::getOut()->flush();
    base::core::getError()->flush();
    _exit(status & 0xff);
}

int runAction(int argc, char** argv) {
    OutputStream* out = base::core::getOut();
    if (argc - 1 < 2) {
        plugin::printUsage();
        return -1;
    }
    const char* action = argv[1];
    if (argc - 1 == 5 && std::strcmp(action, "host") == 0)
        plugin::runHostMode(argv);

    const String lastArgument(argv[argc - 1]);
    const FilePath path = LocalFileSystem::filePathFromNative(lastArgument);
    if (!LocalFileSystem::getInstance()->exists(path)) {
        out->writeLineAndFlush("Error: file does not exists.");
        plugin::printUsage();
        return -1;
    }

    // Both end at once: plug-ins tested in this process may leave threads behind.
    if (std::strcmp(action, "test") == 0) {
        plugin::SandboxedTestProxyProvider provider{String(argv[0])};
        exitNow(plugin::runTests(&provider, path));
    }
    if (std::strcmp(action, "test-local") == 0) {
        plugin::LocalTestProxyProvider provider;
        exitNow(plugin::runTests(&provider, path));
    }
    if (std::strcmp(action, "list") == 0) {
        plugin::listPlugins(path);
        return 0;
    }
    if (std::strcmp(action, "info") == 0)
        exitNow(plugin::writePluginInfo(lastArgument, out));
    if (std::strcmp(action, "info-file") == 0) {
        SmartPtr<OutputStream> file = base::core::FileOutputStream::create(String(argv[2]));
        const int status = plugin::writePluginInfo(lastArgument, file.get());
        file->close();
        exitNow(status);
    }

    out->writeLineAndFlush("plugin-host: unknown action; allowed values are [debug|list|info|host].");
    plugin::printUsage();
    exitNow(255);
}

} // namespace

int main(int argc, char** argv) {
    base::core::installFixedSizeAllocators();
    plugin::VST2_PLUGIN_API_INSTANCE = new plugin::Vst2PluginApi();
    plugin::VST3_PLUGIN_API_INSTANCE = new plugin::Vst3PluginApi();
    try {
        return runAction(argc, argv);
    } catch (const base::core::Exception& e) {
        // For instance a report file that cannot be created.
        base::core::getError()->writeLineAndFlush(e.getMessage());
        exitNow(255);
    } catch (const std::exception& e) {
        base::core::getError()->writeLineAndFlush(StringBuilder() + "Exception thrown: " + e.what());
        exitNow(255);
    }
}
