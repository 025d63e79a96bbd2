#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/TextEncoding.h"

#include "ProcessTestSupport.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace base::core;
using base::core::test::failureOf;

namespace {

// A fresh directory under /tmp for each test, removed with everything in it afterwards.
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
    EXPECT_EQ(FilePath("c").getName(), "c");
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
    EXPECT_EQ(LocalFileSystem::getInstance()->getNativeFilePath(path), "/a/c");
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

TEST_F(LocalFileSystemTest, CreateListAndDelete) {
    EXPECT_TRUE(fs->listChildren(root).empty());
    fs->createDirectory(child("sub"));
    fs->createDirectories(child("one/two/three"));
    fs->createDirectories(child("one/two/three")); // nothing missing, nothing to do
    fs->createDirectories(child("one/other"));
    fs->writeTextFile(child("a.txt"), "h\u00e9llo\nworld");
    for (const char* directory : {"", "sub", "one/two/three", "one/other"}) {
        EXPECT_TRUE(fs->exists(child(directory)) && fs->isDirectory(child(directory))) << directory;
        EXPECT_FALSE(fs->isFile(child(directory))) << directory;
    }
    EXPECT_TRUE(fs->isFile(child("a.txt")));
    EXPECT_FALSE(fs->isDirectory(child("a.txt")));
    EXPECT_FALSE(fs->exists(child("missing")));
    EXPECT_EQ(fs->getFileLength(child("a.txt")), 12);

    std::vector<String> names = fs->listChildren(root);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<String>({"a.txt", "one", "sub"}));
    std::vector<FilePath> paths = fs->listChildPaths(root);
    EXPECT_EQ(paths.size(), 3u);
    EXPECT_NE(std::find(paths.begin(), paths.end(), child("sub")), paths.end());

    fs->deleteFile(child("a.txt"));
    fs->deleteFile(child("a.txt")); // already gone: not reported
    EXPECT_FALSE(fs->exists(child("a.txt")));
    fs->removeDirectory(child("sub"));
    EXPECT_FALSE(fs->exists(child("sub")));
}

TEST_F(LocalFileSystemTest, TextFilesReadBackThroughStreams) {
    fs->writeTextFile(child("latin.txt"), "caf\u00e9\n\u20ac", gLatin1);
    EXPECT_EQ(fs->getFileLength(child("latin.txt")), 6);
    SmartPtr<InputStream> latin = fs->createInputStream(child("latin.txt"), gLatin1);
    EXPECT_EQ(latin->readLine(), "caf\u00e9");
    EXPECT_EQ(latin->readLine(), "?");
    latin->close();
    latin->close();

    // Larger than the output buffer, and binary.
    SmartPtr<OutputStream> out = fs->createOutputStream(child("data.bin"));
    for (int i = 0; i < 1000; ++i)
        out->writeInt32(i);
    out->close();
    EXPECT_EQ(fs->getFileLength(child("data.bin")), 4000);
    SmartPtr<InputStream> in = fs->createInputStream(child("data.bin"));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(in->readInt32(), i);
    unsigned char byte;
    EXPECT_EQ(in->readBytes(&byte, 1), 0u);
}

TEST_F(LocalFileSystemTest, FailuresCarryPathAndSystemError) {
    fs->createDirectories(child("full/inner"));
    const std::string missing = native("missing"), inMissing = native("missing/x");
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { fs->listChildren(child("missing")); }, "listFiles failed, opendir returned nullptr"},
        {[&] { fs->createInputStream(child("missing")); },
         "Could not open file \"" + missing + "\" for reading: " + std::strerror(ENOENT)},
        {[&] { fs->createOutputStream(child("missing/x")); },
         "Could not open file \"" + inMissing + "\" for writing: " + std::strerror(ENOENT)},
        {[&] { fs->getFileLength(child("missing")); },
         "Could not determine size of file " + missing + ": " + std::strerror(ENOENT)},
        {[&] { fs->createDirectory(root); },
         "Could not create directory " + directory.path + ": " + std::strerror(EEXIST)},
        {[&] { fs->createDirectory(child("missing/x")); },
         "Could not create directory " + inMissing + ": " + std::strerror(ENOENT)},
        {[&] { fs->removeDirectory(child("full")); },
         "Could not delete directory " + native("full") + ": " + std::strerror(ENOTEMPTY)},
    };
    for (const auto& [action, message] : rows)
        EXPECT_EQ(failureOf<IOException>(action), message);
}
