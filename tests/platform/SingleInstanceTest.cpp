#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("valdorix-instance-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    std::string database() const { return (m_folder / "Valdorix4.db").string(); }

    // What a second start in another process finds: 0 primary, 1 shown by the running copy,
    // 2 refused without an answer. (Record locks are per process, so it must be another one.)
    // While it runs, `running` (when given) answers its requests; `shown` counts them.
    int secondStart(platform::SingleInstance* running = nullptr, int* shown = nullptr) const {
        const std::string path = database();
        const pid_t child = ::fork();
        if (child == 0) {
            platform::SingleInstance second(path);
            ::_exit(second.isPrimary() ? 0 : second.askPrimaryToShow(2000) ? 1 : 2);
        }
        int status = 0;
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (!running) {
                ::usleep(20000);
                continue;
            }
            pollfd entry{running->requestSocket(), POLLIN, 0};
            if (::poll(&entry, 1, 20) == 1 && running->takeRequest()) {
                ++*shown;
                running->answerRequest();
            }
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    fs::path m_folder;
};

TEST_F(SingleInstanceTest, ASecondStartAsksTheRunningCopyToShowItself) {
    platform::SingleInstance first(database());
    ASSERT_TRUE(first.isPrimary());
    ASSERT_GE(first.requestSocket(), 0);

    int shown = 0;
    EXPECT_EQ(secondStart(&first, &shown), 1);
    EXPECT_EQ(shown, 1);

    // Not answering: the second start is still refused.
    EXPECT_EQ(secondStart(), 2);
}

TEST_F(SingleInstanceTest, TheLockGoesWithTheProcessEvenAfterACrash) {
    {
        platform::SingleInstance first(database());
        ASSERT_TRUE(first.isPrimary());
    }
    EXPECT_EQ(secondStart(), 0);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        platform::SingleInstance held(database());
        char c = held.isPrimary() ? 'y' : 'n';
        [[maybe_unused]] auto written = ::write(ready[1], &c, 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    platform::SingleInstance blocked(database());
    EXPECT_FALSE(blocked.isPrimary());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_EQ(secondStart(), 0);
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(SingleInstanceTest, ABlockedFolderStillLetsTheProgramStart) {
    platform::SingleInstance instance((m_folder / "missing" / "Valdorix4.db").string());
    EXPECT_TRUE(instance.isPrimary());
    EXPECT_EQ(instance.requestSocket(), -1);
}

} // namespace
