#include "base/core/FilePath.h"
#include "base/core/IOException.h"
#include "base/core/InputStream.h"
#include "base/core/LocalFileSystem.h"
#include "base/core/OutputStream.h"
#include "base/core/StringBuilder.h"
#include "base/core/TextEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace base::core;

namespace {

template <typename Action> void expectIOException(Action action, const String& message) {
    try {
        action();
        ADD_FAILURE() << "no exception, expected: " << message.getStdString();
    } catch (const IOException& e) {
        EXPECT_EQ(e.getMessage(), message) << e.what();
    }
}

String errorText(int error) {
    return std::strerror(error);
}

// A fresh directory under /tmp for each test, removed with everything in it afterwards.
class LocalFileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/base-core-fs-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr) << std::strerror(errno);
        nativeRoot = pattern;
        root = LocalFileSystem::filePathFromNative(pattern);
    }
    void TearDown() override {
        if (!nativeRoot.empty())
            std::filesystem::remove_all(nativeRoot);
    }

    FilePath child(const char* relative) const { return FilePath(root).appendPath(relative); }
    String native(const char* relative) const { return LocalFileSystem::filePathToNative(child(relative)); }

    LocalFileSystem* fs = LocalFileSystem::getInstance();
    std::string nativeRoot;
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

    EXPECT_EQ(FilePath("dir.d/file").getFilePathWithoutExtension().toString(), "dir.d/file");
    EXPECT_EQ(FilePath("dir/file.fxp").getFilePathWithoutExtension().toString(), "dir/file");
    EXPECT_EQ(FilePath("dir/a.b.c").getFilePathWithoutExtension().toString(), "dir/a.b");
    EXPECT_EQ(FilePath("file").getFilePathWithoutExtension().toString(), "file");
}

TEST(LocalFileSystem, NativePathTranslation) {
    const FilePath path = LocalFileSystem::filePathFromNative("/a/./b/../c");
    EXPECT_EQ(path.toString(), "a/c");
    EXPECT_EQ(LocalFileSystem::filePathToNative(path), "/a/c");
    EXPECT_EQ(LocalFileSystem::getInstance()->getNativeFilePath(path), "/a/c");
    EXPECT_EQ(LocalFileSystem::filePathFromNative("//tmp//pipes-x/").toString(), "tmp/pipes-x");
    EXPECT_TRUE(LocalFileSystem::filePathFromNative("/..").isEmpty());
    EXPECT_EQ(LocalFileSystem::filePathToNative(FilePath()), "/");
}

TEST(LocalFileSystem, RelativePathsResolveAgainstWorkingDirectory) {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    ASSERT_TRUE(cwd);
    const FilePath here = LocalFileSystem::filePathFromNative(cwd.get());
    EXPECT_EQ(LocalFileSystem::filePathFromNative("."), here);
    EXPECT_EQ(LocalFileSystem::filePathFromNative("x/../y/./z"),
              FilePath(here).appendPath("y").appendPath("z"));
    EXPECT_EQ(LocalFileSystem::filePathFromNative(".."), FilePath(here).setToParent());
}

TEST_F(LocalFileSystemTest, CreateListAndDelete) {
    EXPECT_TRUE(fs->isDirectory(root));
    EXPECT_TRUE(fs->listChildren(root).empty());

    fs->createDirectory(child("sub"));
    fs->writeTextFile(child("a.txt"), "h\u00e9llo\nworld");
    EXPECT_TRUE(fs->exists(child("sub")));
    EXPECT_TRUE(fs->isDirectory(child("sub")));
    EXPECT_FALSE(fs->isFile(child("sub")));
    EXPECT_TRUE(fs->isFile(child("a.txt")));
    EXPECT_FALSE(fs->isDirectory(child("a.txt")));
    EXPECT_FALSE(fs->exists(child("missing")));
    EXPECT_EQ(fs->getFileLength(child("a.txt")), 12);

    std::vector<String> names = fs->listChildren(root);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<String>({"a.txt", "sub"}));
    std::vector<FilePath> paths = fs->listChildPaths(root);
    EXPECT_EQ(paths.size(), 2u);
    EXPECT_NE(std::find(paths.begin(), paths.end(), child("sub")), paths.end());

    // Permission bits are 0776 before the umask.
    const mode_t mask = umask(0);
    umask(mask);
    struct stat info;
    ASSERT_EQ(stat(native("sub").getStdString().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0776u & ~mask);

    fs->deleteFile(child("a.txt"));
    fs->deleteFile(child("a.txt")); // already gone: not reported
    EXPECT_FALSE(fs->exists(child("a.txt")));
    fs->removeDirectory(child("sub"));
    EXPECT_FALSE(fs->exists(child("sub")));
}

TEST_F(LocalFileSystemTest, CreateDirectoriesMakesMissingParents) {
    const FilePath deep = child("one/two/three");
    fs->createDirectories(deep);
    EXPECT_TRUE(fs->isDirectory(deep));
    fs->createDirectories(deep); // nothing missing, nothing to do
    fs->createDirectories(child("one/other"));
    EXPECT_TRUE(fs->isDirectory(child("one/other")));
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
    out->writeBinaryString("\u00e9nd");
    out->close();
    EXPECT_EQ(fs->getFileLength(child("data.bin")), 4000 + 4 + 6);
    SmartPtr<InputStream> in = fs->createInputStream(child("data.bin"));
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(in->readInt32(), i);
    EXPECT_EQ(in->readBinaryString(), "\u00e9nd");
    unsigned char byte;
    EXPECT_EQ(in->readBytes(&byte, 1), 0u);
}

TEST_F(LocalFileSystemTest, FailuresCarryPathAndSystemError) {
    expectIOException([&] { fs->listChildren(child("missing")); },
                      "listFiles failed, opendir returned nullptr");
    expectIOException([&] { fs->createInputStream(child("missing")); },
                      StringBuilder() + "Could not open file \"" + native("missing") +
                          "\" for reading: " + errorText(ENOENT));
    expectIOException([&] { fs->createOutputStream(child("missing/x")); },
                      StringBuilder() + "Could not open file \"" + native("missing/x") +
                          "\" for writing: " + errorText(ENOENT));
    expectIOException([&] { fs->getFileLength(child("missing")); },
                      StringBuilder() + "Could not determine size of file " + native("missing") + ": " +
                          errorText(ENOENT));
    expectIOException([&] { fs->createDirectory(root); }, StringBuilder() + "Could not create directory " +
                                                              String(nativeRoot) + ": " + errorText(EEXIST));
    expectIOException([&] { fs->createDirectory(child("missing/x")); },
                      StringBuilder() + "Could not create directory " + native("missing/x") + ": " +
                          errorText(ENOENT));

    fs->createDirectories(child("full/inner"));
    expectIOException([&] { fs->removeDirectory(child("full")); },
                      StringBuilder() + "Could not delete directory " + native("full") + ": " +
                          errorText(ENOTEMPTY));
}
