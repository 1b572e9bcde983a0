#include "HidrawProbe.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace {

size_t OpenDescriptorCount() {
    size_t count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return 0;
    }
    while (readdir(dir) != nullptr) {
        ++count;
    }
    closedir(dir);
    return count;
}

// Nodes that are not hidraw devices: none of them may leave a descriptor open or hold the
// caller up (a FIFO without a writer would block a blocking open for reading).
TEST(HidrawProbe, RefusesNodesThatAreNoHidrawDevicesAndLeavesNothingOpen) {
    testsupport::TempDir dev;
    testsupport::WriteFile(dev.File("hidraw0"), "not a device");
    ASSERT_EQ(mkfifo(dev.File("hidraw1").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dev.File("hidraw2").c_str(), 0700), 0);
    const size_t before = OpenDescriptorCount();
    ASSERT_GT(before, 0u);

    for (const char* name : {"hidraw0", "hidraw1", "hidraw2", "hidraw9"}) {
        SCOPED_TRACE(name);
        HidrawIds ids;
        ids.vendorId = 0x1111;
        ids.productId = 0x2222;
        EXPECT_FALSE(ReadHidrawIds(dev.File(name), &ids));
        EXPECT_EQ(ids.vendorId, 0x1111);
        EXPECT_EQ(ids.productId, 0x2222);
    }
    EXPECT_EQ(OpenDescriptorCount(), before);
}

}  // namespace
