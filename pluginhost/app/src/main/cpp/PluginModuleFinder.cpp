#include "PluginModuleFinder.h"

#include "base/core/Exception.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StdOutputStream.h"
#include "base/core/StringBuilder.h"

#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace plugin {

using base::core::FilePath;
using base::core::LocalFileSystem;
using base::core::String;

namespace {

// Directory links are followed (distributions install plug-in folders as links), so a walk remembers the
// directories it has been in: a link back up the tree is met once, not followed for ever.
using DirectoryIdentity = std::pair<dev_t, ino_t>;

void findPluginModules(const FilePath& path, const std::function<void(const FilePath&)>& found,
                       std::set<DirectoryIdentity>& visited) {
    LocalFileSystem* fileSystem = LocalFileSystem::getInstance();
    const String name = path.getName();
    const bool directory = fileSystem->isDirectory(path);
    if (directory && !name.endsWith(".vst3")) {
        struct stat info {};
        if (stat(LocalFileSystem::filePathToNative(path).getStdString().c_str(), &info) == 0 &&
            !visited.emplace(info.st_dev, info.st_ino).second)
            return;
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
            findPluginModules(child, found, visited);
        return;
    }
    if (directory || name.endsWith(".vst") || name.endsWith(".so"))
        found(path);
}

} // namespace

void findPluginModules(const FilePath& path, const std::function<void(const FilePath&)>& found) {
    std::set<DirectoryIdentity> visited;
    findPluginModules(path, found, visited);
}

} // namespace plugin
