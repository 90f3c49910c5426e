#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "parallel/thread_count.hpp"

namespace vemo::parallel {
namespace {

namespace fs = std::filesystem;

TEST(ThreadCount, ParsesUnsignedIntegersOnly) {
    EXPECT_EQ(parse_unsigned("4"), 4u);
    EXPECT_EQ(parse_unsigned("+4"), 4u);
    EXPECT_EQ(parse_unsigned("0"), 0u);
    EXPECT_EQ(parse_unsigned(nullptr), std::nullopt);
    for (const char* bad : {"", "+", "-1", " 4", "4 ", "4x", "0x10", "99999999999999999999999"})
        EXPECT_EQ(parse_unsigned(bad), std::nullopt) << bad;
}

TEST(ThreadCount, FollowsTheOrderOfTheRule) {
    EXPECT_EQ(choose_thread_count("3", "5", 2), 3u);
    EXPECT_EQ(choose_thread_count(nullptr, "5", 2), 5u);
    EXPECT_EQ(choose_thread_count("many", "5", 2), 5u);
    // 0 means "the default": straight to the CPUs available, skipping RAYON_RS_NUM_CPUS.
    EXPECT_EQ(choose_thread_count("0", "5", 2), 2u);
    EXPECT_EQ(choose_thread_count(nullptr, "0", 2), 2u);
    EXPECT_EQ(choose_thread_count(nullptr, "x", 7), 7u);
    EXPECT_EQ(choose_thread_count(nullptr, nullptr, std::nullopt), 1u);
}

class FakeCgroups : public ::testing::Test {
protected:
    void SetUp() override {
        // The process id keeps apart the copies of a test that ctest runs side by side.
        root_ = fs::temp_directory_path() /
                ("vemo-cgroup-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "proc/self");
    }
    void TearDown() override { fs::remove_all(root_); }

    void write(const fs::path& relative, const std::string& text) {
        fs::create_directories((root_ / relative).parent_path());
        std::ofstream(root_ / relative) << text;
    }
    std::optional<std::size_t> limit() const { return cgroup_cpu_limit(root_.string()); }

    fs::path root_;
};

TEST_F(FakeCgroups, Version2QuotaIsRoundedDownWithAMinimumOfOne) {
    write("proc/self/cgroup", "0::/app\n");
    write("sys/fs/cgroup/app/cpu.max", "250000 100000\n");
    EXPECT_EQ(limit(), 2u);
    write("sys/fs/cgroup/app/cpu.max", "50000 100000\n");
    EXPECT_EQ(limit(), 1u);
    write("sys/fs/cgroup/app/cpu.max", "max 100000\n");
    EXPECT_EQ(limit(), std::nullopt);
}

TEST_F(FakeCgroups, Version2TightestAncestorWins) {
    write("proc/self/cgroup", "0::/outer/inner\n");
    write("sys/fs/cgroup/outer/cpu.max", "300000 100000\n");
    write("sys/fs/cgroup/outer/inner/cpu.max", "max 100000\n");
    EXPECT_EQ(limit(), 3u);
}

TEST_F(FakeCgroups, GarbageAndZeroPeriodsSetNoLimit) {
    write("proc/self/cgroup", "0::/app\n");
    for (const char* text : {"", "garbage", "100000 0", "-5 100000", "100000", "12x 100000"}) {
        write("sys/fs/cgroup/app/cpu.max", text);
        EXPECT_EQ(limit(), std::nullopt) << text;
    }
}

TEST_F(FakeCgroups, Version1CfsQuota) {
    write("proc/self/cgroup", "4:memory:/x\n3:cpu,cpuacct:/job\n");
    write("sys/fs/cgroup/cpu,cpuacct/job/cpu.cfs_quota_us", "400000\n");
    write("sys/fs/cgroup/cpu,cpuacct/job/cpu.cfs_period_us", "100000\n");
    EXPECT_EQ(limit(), 4u);
    write("sys/fs/cgroup/cpu,cpuacct/job/cpu.cfs_quota_us", "-1\n");
    EXPECT_EQ(limit(), std::nullopt);
}

TEST_F(FakeCgroups, NoCgroupFileMeansNoLimit) { EXPECT_EQ(limit(), std::nullopt); }

}  // namespace
}  // namespace vemo::parallel
