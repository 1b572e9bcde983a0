// Strings and CRC-32 of the OS layer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "XnOS.h"

namespace {

struct CopyCase {
    size_t length;
    XnUInt32 size;
    XnStatus expected;
};

TEST(StringsTest, StrCopyLimits) {
    const CopyCase cases[] = {
        {255, 256, 0}, {256, 256, 0x10008}, {0, 1, 0}, {1, 1, 0x10008}, {0, 0, 0x10008}, {10, 256, 0},
    };
    for (const auto& c : cases) {
        std::string src(c.length, 'a');
        char dst[300];
        memset(dst, 'x', sizeof(dst));
        EXPECT_EQ(c.expected, xnOSStrCopy(dst, src.c_str(), c.size)) << c.length << " into " << c.size;
        if (c.expected == 0) {
            EXPECT_EQ(src, std::string(dst));
            for (XnUInt32 i = c.length; i < c.size; ++i) EXPECT_EQ('\0', dst[i]);  // NUL padding
        }
    }
    char dst[4];
    EXPECT_EQ(0x10004u, xnOSStrCopy(nullptr, "a", 4));
    EXPECT_EQ(0x10004u, xnOSStrCopy(dst, nullptr, 4));
}

TEST(StringsTest, StrNCopyRefusesUnterminatedCopy) {
    char dst[8];
    EXPECT_EQ(0x10008u, xnOSStrNCopy(dst, "abc", 9, sizeof(dst)));  // size below count
    // Eight characters into eight: no room for the NUL, refused.
    EXPECT_EQ(0x10008u, xnOSStrNCopy(dst, "abcdefghij", 8, sizeof(dst)));
    EXPECT_EQ(0u, xnOSStrNCopy(dst, "abcdefghij", 7, sizeof(dst)));
    EXPECT_STREQ("abcdefg", dst);
    EXPECT_EQ(0u, xnOSStrNCopy(dst, "abc", 8, sizeof(dst)));  // shorter source fits
    EXPECT_STREQ("abc", dst);
    EXPECT_EQ(0u, xnOSStrNCopy(dst, "abcdef", 2, sizeof(dst)));
    EXPECT_STREQ("ab", dst);
}

TEST(StringsTest, AppendPrefixAndFormatLimits) {
    char buf[8] = "abc";
    EXPECT_EQ(0u, xnOSStrAppend(buf, "defg", sizeof(buf)));
    EXPECT_STREQ("abcdefg", buf);
    EXPECT_EQ(0x10008u, xnOSStrAppend(buf, "h", sizeof(buf)));
    EXPECT_STREQ("abcdefg", buf);

    char p[8] = "def";
    EXPECT_EQ(0u, xnOSStrPrefix("abc", p, sizeof(p)));
    EXPECT_STREQ("abcdef", p);
    EXPECT_EQ(0x10008u, xnOSStrPrefix("xy", p, sizeof(p)));
    EXPECT_STREQ("abcdef", p);

    char f[8];
    XnUInt32 n = 99;
    EXPECT_EQ(0u, xnOSStrFormat(f, sizeof(f), &n, "%d-%s", 12, "abcd"));  // 7 characters
    EXPECT_STREQ("12-abcd", f);
    EXPECT_EQ(7u, n);
    n = 99;
    EXPECT_EQ(0x10008u, xnOSStrFormat(f, sizeof(f), &n, "%s", "12345678"));
    EXPECT_EQ(0x10008u, xnOSStrFormat(f, sizeof(f), &n, "%s", "123456789abc"));
    EXPECT_EQ(99u, n);
    EXPECT_EQ(0x10004u, xnOSStrFormat(nullptr, 8, &n, "x"));
    EXPECT_EQ(0x10005u, xnOSStrFormat(f, sizeof(f), nullptr, "x"));
}

TEST(StringsTest, LenCmpDup) {
    EXPECT_EQ(0u, xnOSStrLen(nullptr));
    EXPECT_EQ(3u, xnOSStrLen("abc"));
    EXPECT_EQ(0, xnOSStrCmp("a", "a"));
    EXPECT_LT(xnOSStrCmp("a", "b"), 0);
    EXPECT_EQ(0, xnOSStrCaseCmp("ABC", "abc"));
    EXPECT_EQ(0x10004, xnOSStrCmp(nullptr, "a"));
    EXPECT_EQ(0x10004, xnOSStrCaseCmp("a", nullptr));
    char* d = xnOSStrDup("copy");
    ASSERT_NE(nullptr, d);
    EXPECT_STREQ("copy", d);
    xnOSFree(d);
}

struct ItoACase {
    XnInt32 value;
    XnInt32 base;
    const char* expected;
};

TEST(StringsTest, ItoATable) {
    const ItoACase cases[] = {
        {-255, 16, "-ff"},
        {255, 16, "ff"},
        {-255, 36, ""},
        {10, 36, ""},
        {10, 1, ""},
        {10, 0, ""},
        {5, 2, "101"},
        {-5, 2, "-101"},
        {0, 10, "0"},
        {0, 2, "0"},
        {34, 35, "y"},
        {35, 35, "10"},
        {123456, 10, "123456"},
        {-2147483647 - 1, 10, "-2147483648"},
        {2147483647, 16, "7fffffff"},
        {-2147483647 - 1, 2, "-10000000000000000000000000000000"},
    };
    for (const auto& c : cases) {
        char buf[64];
        memset(buf, 'x', sizeof(buf));
        xnOSItoA(c.value, buf, c.base);
        EXPECT_STREQ(c.expected, buf) << c.value << " base " << c.base;
    }
}

TEST(StringsTest, Crc32) {
    XnUInt32 crc = 1;
    ASSERT_EQ(0u, xnOSStrCRC32("123456789", &crc));
    EXPECT_EQ(0xCBF43926u, crc);
    ASSERT_EQ(0u, xnOSStrCRC32("", &crc));
    EXPECT_EQ(0u, crc);
    EXPECT_EQ(0u, xnOSStrNCRC32(reinterpret_cast<const XnUInt8*>("x"), 0, &crc));
    EXPECT_EQ(0u, crc);

    // Bytes above 0x7F count as unsigned; reference: bitwise CRC-32 without the table.
    const unsigned char high[] = {0x80, 0xFF, 0xC3, 0xA9, 0x41, 0xFE};
    XnUInt32 ref = 0xFFFFFFFFu;
    for (unsigned char b : high) {
        ref ^= b;
        for (int k = 0; k < 8; ++k) ref = (ref & 1) ? (ref >> 1) ^ 0xEDB88320u : ref >> 1;
    }
    ref ^= 0xFFFFFFFFu;
    char text[sizeof(high) + 1];
    memcpy(text, high, sizeof(high));
    text[sizeof(high)] = '\0';
    XnUInt32 a = 0, b = 0;
    ASSERT_EQ(0u, xnOSStrCRC32(text, &a));
    ASSERT_EQ(0u, xnOSStrNCRC32(high, sizeof(high), &b));
    EXPECT_EQ(ref, a);
    EXPECT_EQ(ref, b);
    EXPECT_EQ(0xEDB88320u, xnOSStrCRC32Table[128]);
    EXPECT_EQ(0x10004u, xnOSStrCRC32(nullptr, &a));
    EXPECT_EQ(0x10005u, xnOSStrCRC32("a", nullptr));
}

}  // namespace
