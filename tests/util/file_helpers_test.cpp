#include "util/file_helpers.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

TEST(ReadWholeFile, ReadsBytesAndFailsWithEmptyData)
{
    TempDir dir;
    std::string data = "stale";

    WriteTestFile(dir.File("empty.bin"), "");
    EXPECT_FALSE(ReadWholeFile(dir.File("empty.bin"), data));
    EXPECT_TRUE(data.empty());

    data = "stale";
    EXPECT_FALSE(ReadWholeFile(dir.File("missing.bin"), data));
    EXPECT_TRUE(data.empty());
    EXPECT_FALSE(ReadWholeFile("", data));

    const std::string bytes("a\0b\xff\r\n", 6);
    WriteTestFile(dir.File("some.bin"), bytes);
    ASSERT_TRUE(ReadWholeFile(dir.File("some.bin"), data));
    EXPECT_EQ(data, bytes);

    ASSERT_TRUE(ReadFileStart(dir.File("some.bin"), 2, data));
    EXPECT_EQ(data, std::string("a\0", 2));
    ASSERT_TRUE(ReadFileStart(dir.File("some.bin"), 100, data));
    EXPECT_EQ(data, bytes) << "a limit above the size reads the whole file";

    EXPECT_FALSE(ReadWholeFile(dir.Path().string(), data)) << "a folder is no file to read";
}

TEST(ReadWholeFile, ReadsTheRunningProgram)
{
    const std::string self = OwnExecutablePath();
    ASSERT_FALSE(self.empty());
    std::string data;
    ASSERT_TRUE(ReadWholeFile(self, data));
    EXPECT_EQ(static_cast<std::int64_t>(data.size()), QueryFileSize(self));
#ifdef _WIN32
    EXPECT_EQ(data.substr(0, 2), "MZ");
#else
    EXPECT_EQ(data.substr(1, 3), "ELF");
#endif
}

TEST(QueryFileSize, ReportsSizeOrMinusOne)
{
    TempDir dir;
    WriteTestFile(dir.File("five"), "12345");
    EXPECT_EQ(QueryFileSize(dir.File("five")), 5);
    EXPECT_EQ(QueryFileSize(dir.File("nothing")), -1);
    EXPECT_EQ(QueryFileSize(""), -1);
}
