// Leaving the progress page while calls wait for the server: the abort, workers of earlier
// commands still alive, and the page's destruction with workers running.
#include "PagesTestSupport.h"

#include <chrono>
#include <thread>

using namespace pagestest;
using std::chrono::milliseconds;

namespace {

constexpr milliseconds arrival(30000);

class ProgressAbortTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        createDatabase();
        openMainWindow();
        // Somewhere to go back to.
        m_window->Navigate(pageid::Download);
    }

    void download(const std::string& serviceUrl) {
        m_window->ShowPage(pageid::Progress, {QStringLiteral("DownloadToken"), q(serviceUrl),
                                              QStringLiteral("alice"), QStringLiteral("pw")});
    }
};

TEST_F(ProgressAbortTest, BackWhileADownloadWaitsAbortsItAndTheErrorLineSaysSo) {
    download(url("slow-60000"));
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    CProgressPage* page = progress();
    EXPECT_TRUE(busy());
    EXPECT_EQ(page->runningWorkers(), 1u);

    m_window->GoBack();
    EXPECT_EQ(current(), pageid::Download);
    // The server would answer in a minute; the closed connection ends the call long before.
    ASSERT_TRUE(waitFor([&] { return page->outcomesTaken() == 1; }));
    // A worker hands its outcome over just before its thread ends.
    EXPECT_TRUE(waitFor([&] { return page->runningWorkers() == 0; }));

    m_window->GoForward();
    EXPECT_EQ(current(), pageid::Progress);
    EXPECT_TRUE(showsError(QStringLiteral("Aborted.")));
    EXPECT_FALSE(busy());
    EXPECT_TRUE(store().tokens.empty());

    // A new command hides it.
    m_window->ShowPage(pageid::Progress, {QStringLiteral("DownloadTokenOK")});
    EXPECT_FALSE(label(page, CProgressPage::IDC_ERROR)->isVisibleTo(page));
}

TEST_F(ProgressAbortTest, AnOlderWorkerNeverOverwritesTheNewerCommand) {
    download(url("slow-60000"));
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    m_window->GoBack();
    // Re-entered at once: the first worker may still be on its way out.
    m_window->ShowPage(pageid::Progress, {QStringLiteral("SyncToken"), q(url("slow-500")),
                                          QStringLiteral("VX1"), QStringLiteral("1,2")});
    CProgressPage* page = progress();
    ASSERT_TRUE(waitFor([&] { return page->outcomesTaken() == 2; }));
    // Whichever ended first, the page shows the synchronisation's outcome.
    EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully synchronised.")));
    EXPECT_FALSE(label(page, CProgressPage::IDC_ERROR)->isVisibleTo(page));
    EXPECT_FALSE(busy());
}

TEST_F(ProgressAbortTest, WhileTheOlderCallRunsTheNewerOneKeepsThePageBusy) {
    // The older call outlives the newer command's start: it was aborted, so it ends promptly,
    // but its "Aborted." belongs to a command nobody is looking at.
    download(url("slow-60000"));
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    m_window->GoBack();
    m_window->ShowPage(pageid::Progress, {QStringLiteral("SyncToken"), q(url("slow-60000")),
                                          QStringLiteral("VX1"), QStringLiteral("1,2")});
    CProgressPage* page = progress();
    ASSERT_TRUE(waitFor([&] { return page->outcomesTaken() == 1; }));
    EXPECT_TRUE(busy());
    EXPECT_FALSE(label(page, CProgressPage::IDC_ERROR)->isVisibleTo(page));
    // The older thread ends just after its hand-over; the newer one keeps waiting.
    EXPECT_TRUE(waitFor([&] { return page->runningWorkers() == 1; }));
}

TEST_F(ProgressAbortTest, LeavingAndReenteringQuicklyThenClosingNeitherCrashesNorHangs) {
    for (int round = 0; round < 4; ++round) {
        download(url("slow-60000"));
        m_window->GoBack();
        m_window->GoForward(); // empty arguments: shows what the page has, starts nothing
        download(url(round % 2 ? "slow-200" : "only-ok"));
        m_window->GoBack();
    }
    CProgressPage* page = progress();
    ASSERT_TRUE(waitFor([&] { return page->runningWorkers() == 0; }));

    // Two calls alive when the window goes: one aborted on its way out, one still waiting.
    server_->clearRequests();
    download(url("slow-60000"));
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    server_->clearRequests();
    m_window->GoBack();
    download(url("slow-60000"));
    ASSERT_TRUE(server_->waitForRequests(1, arrival));
    EXPECT_GE(page->runningWorkers(), 1u);
    // The page aborts the calls and joins its workers; none of them waits for this thread.
    m_window.reset();
    SUCCEED();
}

} // namespace
