// A CSV import on a worker thread, as the import page runs it, without any window: the worker's
// tokens reach the receiving thread intact through the mailbox, and a stop request leaves nothing
// to add. Runs under ThreadSanitizer.
#include "platform/Mailbox.h"
#include "platform/WorkerGroup.h"
#include "store/CsvImport.h"

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <latch>
#include <mutex>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// 4,000 lines of one valid token (serial 1001), enough for several pieces of the reader.
fs::path writeList(const std::string& name) {
    const fs::path path = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".csv");
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 4000; ++i)
        out << "1001,070000012345678906,Token " << i << "\r\n";
    return path;
}

struct Delivery {
    CsvImport result;
};

class CsvImportThreadTest : public ::testing::TestWithParam<bool> {};

TEST_P(CsvImportThreadTest, TheWorkersTokensOrNothingWhenStopped) {
    const bool stopped = GetParam();
    const fs::path file = writeList(stopped ? "valdorix-csv-stop" : "valdorix-csv-run");
    std::mutex mutex;
    std::condition_variable rung;
    bool delivered = false;
    auto mailbox = std::make_shared<Mailbox<Delivery>>([&] {
        std::lock_guard lock(mutex);
        delivered = true;
        rung.notify_all();
    });
    auto progress = std::make_shared<ReadProgress>();
    std::latch started(1);
    std::latch go(1);
    {
        WorkerGroup workers;
        ASSERT_TRUE(workers.start([&, progress, mailbox](std::stop_token stop) {
            started.count_down();
            go.wait();
            mailbox->deliver({readCsvTokens(file.string(), stop, progress.get())});
        }));
        started.wait();
        if (stopped)
            workers.requestStop();
        go.count_down();
        std::unique_lock lock(mutex);
        rung.wait(lock, [&] { return delivered; });
    }
    auto deliveries = mailbox->take();
    ASSERT_EQ(deliveries.size(), 1u);
    const CsvImport& result = deliveries.front().result;
    EXPECT_EQ(result.cancelled, stopped);
    EXPECT_EQ(result.tokens.size(), stopped ? 0u : 4000u);
    EXPECT_EQ(result.report.added, result.tokens.size());
    if (!stopped) {
        EXPECT_EQ(result.tokens.back()->label, u"Token 3999");
        EXPECT_EQ(progress->done.load(), fs::file_size(file));
    }
    fs::remove(file);
}

INSTANTIATE_TEST_SUITE_P(StopOrNot, CsvImportThreadTest, ::testing::Bool());

} // namespace
