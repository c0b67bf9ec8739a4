#include "platform/Clock.h"
#include "platform/Folders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class FoldersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::temp_directory_path() / ("valdorix-folders-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override
    {
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv("XDG_CONFIG_DIRS");
        platform::setMachineIdForTesting(std::nullopt);
        fs::remove_all(root_);
    }
    fs::path root_;
};

TEST_F(FoldersTest, ProductFolderIsCreatedPrivateUnderTheDataHome)
{
    ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    const std::string folder = platform::productFolder();
    EXPECT_EQ(folder, (root_ / "data" / "Valdorix").string());
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(FoldersTest, ProductFolderFollowsTheEnvironmentAtEveryCall)
{
    ::setenv("XDG_DATA_HOME", (root_ / "a").c_str(), 1);
    const std::string first = platform::productFolder();
    ::setenv("XDG_DATA_HOME", (root_ / "b").c_str(), 1);
    EXPECT_NE(platform::productFolder(), first);
}

TEST_F(FoldersTest, ConfigFileIsTheFirstDirectoryThatHasIt)
{
    fs::create_directories(root_ / "one");
    fs::create_directories(root_ / "two" / "Corvane Security");
    std::ofstream(root_ / "two" / "Corvane Security" / "Agent.conf") << "[General]\n";
    ::setenv("XDG_CONFIG_DIRS", ((root_ / "one").string() + ":" + (root_ / "two").string()).c_str(), 1);
    auto found = platform::findSystemConfigFile("Corvane Security/Agent.conf");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, (root_ / "two" / "Corvane Security" / "Agent.conf").string());
    EXPECT_FALSE(platform::findSystemConfigFile("Corvane Security/Missing.conf"));
}

TEST_F(FoldersTest, MachineIdCanBeReplaced)
{
    platform::setMachineIdForTesting("abc");
    EXPECT_EQ(platform::machineId(), "abc");
    platform::setMachineIdForTesting(std::string());
    EXPECT_EQ(platform::machineId(), "");
}

TEST(ClockTest, TestClockReplacesAndRestores)
{
    platform::setClockForTesting([] { return std::int64_t{59}; });
    EXPECT_EQ(platform::now(), 59);
    platform::setClockForTesting({});
    EXPECT_GT(platform::now(), 1'700'000'000);
}

} // namespace
