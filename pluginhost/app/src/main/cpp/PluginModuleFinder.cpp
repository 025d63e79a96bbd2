#include "PluginModuleFinder.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <vector>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::String;

void findPluginModules(const FilePath& path, const std::function<void(const FilePath&)>& found) {
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    const String name = path.getName();
    const bool directory = fileSystem->isDirectory(path);
    if (directory && !name.endsWith(".vst3")) {
        std::vector<FilePath> children;
        try {
            fileSystem->listChildPaths(path, children);
        } catch (const base::core::Exception& e) {
            // An unreadable directory does not end the walk through the others.
            base::core::OutputStream* err = base::core::getError();
            err->writeLine(base::core::StringBuilder() + e.getMessage() + ": " +
                           LocalFileSystem::filePathToNative(path));
            err->flush();
        }
        for (const FilePath& child : children)
            findPluginModules(child, found);
        return;
    }
    if (directory || name.endsWith(".vst") || name.endsWith(".so"))
        found(path);
}

} // namespace plugin
