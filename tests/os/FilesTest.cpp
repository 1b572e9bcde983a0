// Files, folders and paths of the OS layer.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "TempDir.h"
#include "XnOS.h"

namespace {

using testsupport::TempDir;

struct OpenCase {
    XnUInt32 flags;
    bool exists;
    XnStatus expected;
    int accessMode;  // O_RDONLY, O_WRONLY, O_RDWR when opened
    int extra;       // other open flags expected on the descriptor
};

TEST(FilesTest, OpenFlagMappingAndResults) {
    const OpenCase cases[] = {
        {0x1, false, 0x20004, 0, 0},         {0x1, true, 0, O_RDONLY, 0},
        {0x2, false, 0, O_WRONLY, 0},        {0x3, false, 0, O_RDWR, 0},
        {0x6, true, 0x20006, 0, 0},          {0x6, false, 0, O_WRONLY, 0},
        {0x12, true, 0, O_WRONLY, O_APPEND}, {0x22, true, 0, O_WRONLY, O_SYNC},
        {0x21, true, 0, O_RDONLY, 0},  // write-through needs write
    };
    TempDir dir;
    int i = 0;
    for (const auto& c : cases) {
        std::string path = dir.File("f" + std::to_string(i++));
        if (c.exists) testsupport::WriteFile(path, "data");
        XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
        EXPECT_EQ(c.expected, xnOSOpenFile(path.c_str(), c.flags, &fd)) << "flags " << c.flags;
        if (c.expected != 0) {
            EXPECT_EQ(XN_INVALID_FILE_HANDLE, fd);
            continue;
        }
        int fl = fcntl(fd, F_GETFL);
        EXPECT_EQ(c.accessMode, fl & O_ACCMODE) << "flags " << c.flags;
        if (c.extra) {
            EXPECT_EQ(c.extra, fl & c.extra) << "flags " << c.flags;
        }
        if (!(c.flags & 0x20)) {
            EXPECT_EQ(0, fl & (O_SYNC & ~O_DSYNC)) << "flags " << c.flags;
        }
        if (!c.exists) {
            struct stat st;
            ASSERT_EQ(0, fstat(fd, &st));
            EXPECT_EQ(0644u, st.st_mode & 0777u);  // under the default umask 022
        }
        EXPECT_EQ(0u, xnOSCloseFile(&fd));
        EXPECT_EQ(XN_INVALID_FILE_HANDLE, fd);
    }
    // Truncate empties an existing file.
    std::string t = dir.File("trunc");
    testsupport::WriteFile(t, "0123456789");
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(0u, xnOSOpenFile(t.c_str(), 0xA, &fd));
    xnOSCloseFile(&fd);
    EXPECT_EQ("", testsupport::ReadFile(t));
    // A directory where a file is expected: another failure.
    EXPECT_EQ(0x20007u, xnOSOpenFile(dir.Path().c_str(), 0x2, &fd));
    EXPECT_EQ(0x10004u, xnOSOpenFile(nullptr, 0x1, &fd));
    EXPECT_EQ(0x10005u, xnOSOpenFile(t.c_str(), 0x1, nullptr));
}

TEST(FilesTest, ReadWriteSeekTell) {
    TempDir dir;
    std::string path = dir.File("rw");
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(0u, xnOSOpenFile(path.c_str(), 0x3, &fd));
    std::string big(1 << 20, 'z');
    EXPECT_EQ(0u, xnOSWriteFile(fd, big.data(), static_cast<XnUInt32>(big.size())));
    XnUInt32 pos = 0;
    EXPECT_EQ(0u, xnOSTellFile(fd, &pos));
    EXPECT_EQ(big.size(), pos);
    EXPECT_EQ(0u, xnOSSeekFile(fd, XN_OS_SEEK_SET, 10));
    char buf[32];
    XnUInt32 n = 5;
    EXPECT_EQ(0u, xnOSReadFile(fd, buf, &n));
    EXPECT_EQ(5u, n);
    EXPECT_EQ(0u, xnOSSeekFile64(fd, XN_OS_SEEK_END, -3));
    n = sizeof(buf);
    EXPECT_EQ(0u, xnOSReadFile(fd, buf, &n));
    EXPECT_EQ(3u, n);  // short read at the end stores the count
    EXPECT_EQ(0x20011u, xnOSSeekFile(fd, static_cast<XnOSSeekType>(7), 0));
    EXPECT_EQ(0x2000Bu, xnOSSeekFile(fd, XN_OS_SEEK_SET, -1));
    EXPECT_EQ(0u, xnOSFlushFile(fd));
    EXPECT_EQ(0u, xnOSCloseFile(&fd));
    EXPECT_EQ(0x20038u, xnOSCloseFile(&fd));
    EXPECT_EQ(0x20038u, xnOSWriteFile(fd, "a", 1));
    EXPECT_EQ(0x20038u, xnOSTellFile(fd, &pos));
    EXPECT_EQ(0x20038u, xnOSFlushFile(fd));
}

TEST(FilesTest, TellBeyond4GiBOnSparseFile) {
    TempDir dir;
    std::string path = dir.File("sparse");
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(0u, xnOSOpenFile(path.c_str(), 0x3, &fd));
    const XnUInt64 beyond = (1ull << 32) + 4096;
    ASSERT_EQ(0u, xnOSSeekFile64(fd, XN_OS_SEEK_SET, static_cast<XnInt64>(beyond)));
    ASSERT_EQ(0u, xnOSWriteFile(fd, "x", 1));  // sparse: no real blocks before it
    XnUInt32 pos32 = 0xDEADBEEF;
    EXPECT_EQ(0x10008u, xnOSTellFile(fd, &pos32));
    EXPECT_EQ(0xDEADBEEFu, pos32);
    XnUInt64 pos64 = 0;
    EXPECT_EQ(0u, xnOSTellFile64(fd, &pos64));
    EXPECT_EQ(beyond + 1, pos64);
    XnUInt32 size32 = 7;
    EXPECT_EQ(0x10008u, xnOSGetFileSize(path.c_str(), &size32));
    EXPECT_EQ(7u, size32);
    XnUInt64 size64 = 0;
    EXPECT_EQ(0u, xnOSGetFileSize64(path.c_str(), &size64));
    EXPECT_EQ(beyond + 1, size64);
    xnOSCloseFile(&fd);
}

TEST(FilesTest, TruncateSetsTheGivenSize) {
    TempDir dir;
    std::string path = dir.File("t");
    testsupport::WriteFile(path, "0123456789");
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    ASSERT_EQ(0u, xnOSOpenFile(path.c_str(), 0x3, &fd));
    ASSERT_EQ(0u, xnOSSeekFile(fd, XN_OS_SEEK_SET, 7));
    for (XnUInt64 size : {4ull, 0ull, 100ull, 10ull}) {
        EXPECT_EQ(0u, xnOSTruncateFile64(fd, size));
        XnUInt64 got = 1234;
        EXPECT_EQ(0u, xnOSGetFileSize64(path.c_str(), &got));
        EXPECT_EQ(size, got);
        XnUInt64 pos = 0;
        EXPECT_EQ(0u, xnOSTellFile64(fd, &pos));
        EXPECT_EQ(7u, pos);  // the position is left alone
    }
    xnOSCloseFile(&fd);
    EXPECT_EQ(0x20038u, xnOSTruncateFile64(XN_INVALID_FILE_HANDLE, 1));
    // A read-only descriptor cannot be truncated: reported, not success.
    ASSERT_EQ(0u, xnOSOpenFile(path.c_str(), 0x1, &fd));
    EXPECT_NE(0u, xnOSTruncateFile64(fd, 1));
    xnOSCloseFile(&fd);
}

TEST(FilesTest, WholeFileHelpers) {
    TempDir dir;
    std::string path = dir.File("w");
    EXPECT_EQ(0u, xnOSSaveFile(path.c_str(), "hello", 5));
    EXPECT_EQ(0u, xnOSAppendFile(path.c_str(), " world", 6));
    EXPECT_EQ("hello world", testsupport::ReadFile(path));
    EXPECT_EQ(0u, xnOSSaveFile(path.c_str(), "hi", 2));
    EXPECT_EQ("hi", testsupport::ReadFile(path));
    char buf[8] = {};
    EXPECT_EQ(0u, xnOSLoadFile(path.c_str(), buf, 2));
    EXPECT_EQ(std::string("hi"), std::string(buf, 2));
    EXPECT_EQ(0x20009u, xnOSLoadFile(path.c_str(), buf, 3));
    EXPECT_EQ(0x10005u, xnOSLoadFile(path.c_str(), nullptr, 3));
    EXPECT_EQ(0x10005u, xnOSLoadFile(path.c_str(), buf, 0));
    EXPECT_EQ(0x20004u, xnOSLoadFile(dir.File("none").c_str(), buf, 1));
    XnBool exists = FALSE;
    EXPECT_EQ(0u, xnOSDoesFileExist(path.c_str(), &exists));
    EXPECT_TRUE(exists);
    EXPECT_EQ(0u, xnOSDeleteFile(path.c_str()));
    EXPECT_EQ(0u, xnOSFileExists(path.c_str(), &exists));
    EXPECT_FALSE(exists);
    EXPECT_EQ(0x20042u, xnOSDeleteFile(path.c_str()));
}

TEST(FilesTest, Folders) {
    TempDir dir;
    std::string sub = dir.File("sub");
    EXPECT_EQ(0u, xnOSCreateDirectory(sub.c_str()));
    EXPECT_EQ(0x20041u, xnOSCreateDirectory(sub.c_str()));
    EXPECT_EQ(0x20041u, xnOSCreateDirectory(dir.File("a/b/c").c_str()));  // one level only
    XnBool isDir = FALSE;
    EXPECT_EQ(0u, xnOSDoesDirectoryExist(sub.c_str(), &isDir));
    EXPECT_TRUE(isDir);
    testsupport::WriteFile(dir.File("file"), "x");
    EXPECT_EQ(0u, xnOSDoesDirectoryExist(dir.File("file").c_str(), &isDir));
    EXPECT_FALSE(isDir);

    char cwd[512];
    ASSERT_EQ(0u, xnOSGetCurrentDir(cwd, sizeof(cwd)));
    EXPECT_EQ(0x10007u, xnOSGetCurrentDir(cwd, 2));
    EXPECT_EQ(0u, xnOSSetCurrentDir(sub.c_str()));
    char now[512];
    ASSERT_EQ(0u, xnOSGetCurrentDir(now, sizeof(now)));
    char full[512];
    ASSERT_EQ(0u, xnOSGetFullPathName(".", full, sizeof(full)));
    EXPECT_STREQ(now, full);
    EXPECT_EQ(0x10007u, xnOSGetFullPathName(".", full, 3));
    EXPECT_EQ(0x10001u, xnOSGetFullPathName("no/such/thing", full, sizeof(full)));
    EXPECT_EQ(0u, xnOSSetCurrentDir(cwd));
    EXPECT_EQ(0x10001u, xnOSSetCurrentDir(dir.File("missing").c_str()));
}

TEST(FilesTest, PathHelpers) {
    char buf[256];
    EXPECT_EQ(0u, xnOSGetDirName("/a/b/c.txt", buf, sizeof(buf)));
    EXPECT_STREQ("/a/b", buf);
    EXPECT_EQ(0u, xnOSGetFileName("/a/b/c.txt", buf, sizeof(buf)));
    EXPECT_STREQ("c.txt", buf);
    EXPECT_EQ(0u, xnOSGetDirName("c.txt", buf, sizeof(buf)));
    EXPECT_STREQ(".", buf);
    std::string longPath(256, 'a');
    EXPECT_EQ(0x10008u, xnOSGetFileName(longPath.c_str(), buf, sizeof(buf)));
    EXPECT_EQ(0u, xnOSGetFileName(longPath.substr(1).c_str(), buf, sizeof(buf)));
    EXPECT_EQ(0x10008u, xnOSGetFileName("/a/bcdef", buf, 3));

    EXPECT_TRUE(xnOSIsAbsoluteFilePath("/x"));
    EXPECT_FALSE(xnOSIsAbsoluteFilePath("x/"));
    EXPECT_TRUE(xnOSIsDirSep('/'));
    EXPECT_FALSE(xnOSIsDirSep('\0'));
    EXPECT_FALSE(xnOSIsDirSep('\\'));

    char p[32] = "/base//";
    EXPECT_EQ(0u, xnOSStripDirSep(p));
    EXPECT_STREQ("/base/", p);
    EXPECT_EQ(0u, xnOSAppendFilePath(p, "name", sizeof(p)));
    EXPECT_STREQ("/base/name", p);
    EXPECT_EQ(0u, xnOSAppendFilePath(p, "/abs", sizeof(p)));
    EXPECT_STREQ("/abs", p);
    char small[8] = "/ab";
    EXPECT_EQ(0x10008u, xnOSAppendFilePath(small, "long", sizeof(small)));
}

TEST(FilesTest, FileLists) {
    TempDir dir;
    for (const char* n : {"b.bin", "a.bin", "c.bin", "d.txt"}) testsupport::WriteFile(dir.File(n), "x");
    std::string pattern = dir.Path() + "/*.bin";
    XnInt32 count = -1;
    EXPECT_EQ(0u, xnOSCountFiles(pattern.c_str(), &count));
    EXPECT_EQ(3, count);
    EXPECT_EQ(0u, xnOSCountFiles((dir.Path() + "/*.none").c_str(), &count));
    EXPECT_EQ(0, count);

    XnChar list[4][XN_FILE_MAX_PATH];
    count = -1;
    EXPECT_EQ(0u, xnOSGetFileList(pattern.c_str(), nullptr, list, 4, &count));
    ASSERT_EQ(3, count);
    EXPECT_STREQ("a.bin", list[0]);  // glob's sorted order, base names
    EXPECT_STREQ("b.bin", list[1]);
    EXPECT_STREQ("c.bin", list[2]);

    EXPECT_EQ(0u, xnOSGetFileList(pattern.c_str(), "pre/", list, 2, &count));
    ASSERT_EQ(2, count);  // the maximum
    EXPECT_STREQ("pre/a.bin", list[0]);
    EXPECT_STREQ("pre/b.bin", list[1]);

    count = 77;
    EXPECT_EQ(0x20004u, xnOSGetFileList(pattern.c_str(), nullptr, list, 0, &count));
    EXPECT_EQ(0x20004u, xnOSGetFileList((dir.Path() + "/*.none").c_str(), nullptr, list, 4, &count));
    EXPECT_EQ(77, count);

    // An entry that would overflow its 256 characters is refused, not cut.
    std::string prefix(251, 'p');  // 251 + "a.bin" = 256 characters
    EXPECT_EQ(0x10008u, xnOSGetFileList(pattern.c_str(), prefix.c_str(), list, 4, &count));
    EXPECT_EQ(77, count);
    std::string fits(256 - 1 - 5, 'p');  // 250 + "a.bin" = 255 characters
    EXPECT_EQ(0u, xnOSGetFileList(pattern.c_str(), fits.c_str(), list, 1, &count));
    EXPECT_EQ(1, count);
    EXPECT_EQ(255u, strlen(list[0]));
}

}  // namespace
