#include "StoreTestSupport.h"

#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace storetest;

namespace {

constexpr int TokenCount = 100;
constexpr int Kills = 300;

// Generation g: defaultIndex g and every token's counter g, so a torn mixture shows.
void fillGeneration(CTokenDB& db, std::int32_t generation) {
    db.tokens.clear();
    for (int i = 0; i < TokenCount; ++i) {
        auto t = distinctToken(i % 20);
        t->counter = generation;
        t->label = u"generation " + std::u16string(1, static_cast<char16_t>(u'A' + generation % 26));
        db.tokens.push_back(t);
    }
    db.setDefaultIndex(generation);
}

// Loads the file and returns its generation, or -1 when it does not open or is inconsistent.
int loadGeneration() {
    CValdorixTokenDB db;
    db.setPin(u"1234");
    if (!db.load() || db.tokens.size() != TokenCount)
        return -1;
    for (const auto& t : db.tokens) {
        if (!t || t->counter != db.defaultIndex)
            return -1;
    }
    return db.defaultIndex;
}

// The child saves generation after generation until it is killed, and tells `saved` after each.
[[noreturn]] void saveForever(int start, int saved) {
    CValdorixTokenDB db;
    db.setPin(u"1234");
    db.markUnlocked();
    for (int generation = start;; ++generation) {
        fillGeneration(db, generation);
        if (!db.save())
            ::_exit(3);
        [[maybe_unused]] const ssize_t told = ::write(saved, "s", 1);
    }
}

class CrashSafetyTest : public StoreFixture {};

TEST_F(CrashSafetyTest, KilledSavesLeaveTheOldOrTheNewFile) {
    {
        CValdorixTokenDB db;
        fillGeneration(db, 0);
        db.markUnlocked();
        ASSERT_TRUE(db.changePin(u"", u"1234"));
    }
    ASSERT_EQ(loadGeneration(), 0);

    std::mt19937 random(4242);
    std::uniform_int_distribution<int> delay(0, 3000);
    int last = 0;
    int advanced = 0;
    int tornTemporaries = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        int saved[2];
        ASSERT_EQ(::pipe(saved), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(saved[0]);
            saveForever(last + 1, saved[1]);
        }
        ::close(saved[1]);
        // Every other kill comes after a completed save, however slow the machine (sanitizers,
        // load), so progress is always seen; the others may land anywhere.
        if (kill % 2 == 0) {
            char byte = 0;
            ASSERT_EQ(::read(saved[0], &byte, 1), 1);
        }
        ::usleep(static_cast<useconds_t>(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::close(saved[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child stopped by itself, status " << status;

        tornTemporaries += fs::exists(databaseFile().string() + ".new");
        const int generation = loadGeneration();
        ASSERT_GE(generation, last) << "after kill " << kill;
        advanced += generation > last;
        last = generation;
    }
    EXPECT_GT(advanced, 0);
    RecordProperty("generations", last);
    RecordProperty("kills_after_progress", advanced);
    RecordProperty("kills_during_a_save", tornTemporaries);
}

} // namespace
