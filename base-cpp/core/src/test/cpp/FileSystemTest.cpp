#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/LocalFileSystem.h"

#include "ProcessTestSupport.h"

#include <cstring>
#include <memory>

using namespace base::core;
using base::core::test::failureOf;

namespace {

// A fresh directory under /tmp for each test, removed with everything in it afterwards. Listing, sizes and
// deletion are used, and checked, where modules are found, presets read and pipes removed.
class LocalFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { root = LocalFileSystem::filePathFromNative(directory.path); }

    FilePath child(const char* relative) const { return FilePath(root).appendPath(relative); }
    std::string native(const char* relative) const {
        return LocalFileSystem::filePathToNative(child(relative)).getStdString();
    }

    base::core::test::ScriptDirectory directory;
    LocalFileSystem* fs = LocalFileSystem::getInstance();
    FilePath root;
};

} // namespace

TEST(FilePath, ComponentOperations) {
    EXPECT_EQ(FilePath().appendPath("x").toString(), "x");
    EXPECT_EQ(FilePath("a").appendPath(String()).toString(), "a");
    EXPECT_EQ(FilePath("a").appendPath("b").appendText(".fxp").toString(), "a/b.fxp");
    EXPECT_TRUE(FilePath("a").setToParent().isEmpty());
    EXPECT_EQ(FilePath("a/b/c").setToParent().toString(), "a/b");
    EXPECT_EQ(FilePath("a/b/c").getName(), "c");
    for (const auto& [path, withoutExtension] : {std::pair{"dir.d/file", "dir.d/file"},
                                                 {"dir/file.fxp", "dir/file"},
                                                 {"dir/a.b.c", "dir/a.b"},
                                                 {"file", "file"}})
        EXPECT_EQ(FilePath(path).getFilePathWithoutExtension().toString(), withoutExtension);
}

// Native paths are normalised; relative ones resolve against the working directory.
TEST(LocalFileSystem, NativePathTranslation) {
    const FilePath path = LocalFileSystem::filePathFromNative("/a/./b/../c");
    EXPECT_EQ(path.toString(), "a/c");
    EXPECT_EQ(LocalFileSystem::filePathToNative(path), "/a/c");
    EXPECT_EQ(LocalFileSystem::filePathFromNative("//tmp//pipes-x/").toString(), "tmp/pipes-x");
    EXPECT_TRUE(LocalFileSystem::filePathFromNative("/..").isEmpty());
    EXPECT_EQ(LocalFileSystem::filePathToNative(FilePath()), "/");

    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    const FilePath here = LocalFileSystem::filePathFromNative(cwd.get());
    EXPECT_EQ(LocalFileSystem::filePathFromNative("."), here);
    EXPECT_EQ(LocalFileSystem::filePathFromNative("x/../y/./z"),
              FilePath(here).appendPath("y").appendPath("z"));
    EXPECT_EQ(LocalFileSystem::filePathFromNative(".."), FilePath(here).setToParent());
}

TEST_F(LocalFileSystemTest, FailuresCarryPathAndSystemError) {
    const std::string missing = native("missing"), inMissing = native("missing/x");
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { fs->getFileLength(child("missing")); },
         "Could not determine size of file " + missing + ": " + std::strerror(ENOENT)},
        {[&] { fs->createDirectory(root); },
         "Could not create directory " + directory.path + ": " + std::strerror(EEXIST)},
        {[&] { fs->createDirectory(child("missing/x")); },
         "Could not create directory " + inMissing + ": " + std::strerror(ENOENT)},
    };
    for (const auto& [action, message] : rows)
        EXPECT_EQ(failureOf<IOException>(action), message);
}
