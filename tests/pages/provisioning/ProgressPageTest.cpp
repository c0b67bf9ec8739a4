// The progress page alone: its command words, the outcomes it shows, the worker it cannot start.
#include "PagesTestSupport.h"

using namespace pagestest;

namespace {

class ProgressPageTest : public PagesFixture {
protected:
    void SetUp() override {
        PagesFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        createDatabase();
        openMainWindow();
    }

    void show(const QStringList& args) { m_window->ShowPage(pageid::Progress, args); }

    // Shows a download command and waits for the page to take its outcome.
    void download(const std::string& serviceUrl) {
        const int before = taken();
        show({QStringLiteral("DownloadToken"), q(serviceUrl), QStringLiteral("alice"), QStringLiteral("pw")});
        ASSERT_TRUE(waitFor([&] { return taken() > before; }));
    }
    int taken() { return progress()->outcomesTaken(); }
};

TEST_F(ProgressPageTest, DownloadTokenOkReportsTheDownload) {
    show({QStringLiteral("DownloadTokenOK"), QStringLiteral("ignored")});
    EXPECT_EQ(label(progress(), CProgressPage::IDC_CAPTION)->text(), QStringLiteral("Downloading token..."));
    EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully downloaded.")));
    EXPECT_FALSE(label(progress(), CProgressPage::IDC_ERROR)->isVisibleTo(progress()));
    EXPECT_FALSE(progress()->animation()->isVisibleTo(progress()));
    EXPECT_FALSE(progress()->animation()->isPlaying());
    EXPECT_EQ(progress()->workerThreads(), 0u);
}

TEST_F(ProgressPageTest, CommandsOfTheWrongShapeDoNothing) {
    const QString u = q(url("only-ok"));
    const QStringList cases[] = {
        {},
        {QStringLiteral("DownloadToken"), u, QStringLiteral("alice")},
        {QStringLiteral("downloadtoken"), u, QStringLiteral("alice"), QStringLiteral("pw")},
        {QStringLiteral("ActivateToken"), u, QStringLiteral("ref")},
        {QStringLiteral("ActivateToken"), u, QStringLiteral("ref"), QStringLiteral("code"),
         QStringLiteral("x")},
        {QStringLiteral("SyncToken"), u, QStringLiteral("VX1"), QStringLiteral("1,2"), QStringLiteral("x")},
        {QStringLiteral("SyncToken"), u, QStringLiteral("VX1")},
        {QStringLiteral("Synchronise")},
    };
    show({QStringLiteral("DownloadTokenOK")});
    QLabel* caption = label(progress(), CProgressPage::IDC_CAPTION);
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(QLatin1Char('|')).toStdString());
        caption->setText(QStringLiteral("before"));
        show(args);
        EXPECT_EQ(caption->text(), QStringLiteral("before"));
        EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully downloaded.")));
        EXPECT_FALSE(busy());
        EXPECT_EQ(progress()->workerThreads(), 0u);
    }
    QTest::qWait(50);
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(ProgressPageTest, ActivationWithoutServiceUrlStartsNoWorker) {
    show({QStringLiteral("ActivateToken"), QString(), QStringLiteral("ref"), QStringLiteral("code")});
    EXPECT_EQ(label(progress(), CProgressPage::IDC_CAPTION)->text(), QStringLiteral("Activating token..."));
    EXPECT_TRUE(showsError(QStringLiteral("No service URL defined")));
    EXPECT_FALSE(busy());
    EXPECT_EQ(progress()->workerThreads(), 0u);
    QTest::qWait(50);
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(ProgressPageTest, ActivationAsksTheServer) {
    show({QStringLiteral("ActivateToken"), q(url()), QStringLiteral("REF-1"), QStringLiteral("4711")});
    EXPECT_TRUE(busy());
    ASSERT_TRUE(waitFor([&] { return taken() == 1; }));
    EXPECT_TRUE(showsInformation(QStringLiteral("Token successfully activated")));
    ASSERT_EQ(server_->requests().size(), 1u);
    EXPECT_NE(server_->requests()[0].body.find("oxa.activateToken"), std::string::npos);
    EXPECT_EQ(server_->requests()[0].body.find("4711"), std::string::npos) << "the digest, not the code";

    // A reply of the wrong shape shows the exception's text.
    show({QStringLiteral("ActivateToken"), q(url("wrong-shape")), QStringLiteral("REF-1"),
          QStringLiteral("4711")});
    ASSERT_TRUE(waitFor([&] { return taken() == 2; }));
    EXPECT_TRUE(showsError(QStringLiteral("type error: expected a struct")));
}

TEST_F(ProgressPageTest, FailedDownloadsShowTheirTextInRedAndStoreNothing) {
    const std::pair<std::string, QString> cases[] = {
        {url("refuse"), QStringLiteral("REFUSED")},
        {url("refuse-explained"), QStringLiteral("Your account is locked.")},
        {url("fault"), QStringLiteral("Unknown user or wrong password")},
        {url("error500"), QStringLiteral("Failed to connect the server.")},
        {"http://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/rpc",
         QStringLiteral("Failed to connect the server.")},
        {url("number"), QStringLiteral("type error: expected a struct")},
        {url("badac"), QStringLiteral("Invalid token data")},
    };
    for (const auto& [serviceUrl, text] : cases) {
        SCOPED_TRACE(serviceUrl);
        download(serviceUrl);
        EXPECT_TRUE(showsError(text)) << label(progress(), CProgressPage::IDC_ERROR)->text().toStdString();
        EXPECT_EQ(progress()->lastError(), text);
        EXPECT_EQ(label(progress(), CProgressPage::IDC_ERROR)->palette().color(QPalette::WindowText),
                  QColor(255, 0, 0));
        EXPECT_FALSE(label(progress(), CProgressPage::IDC_INFORMATION)->isVisibleTo(progress()));
        EXPECT_FALSE(busy());
        EXPECT_FALSE(progress()->animation()->isVisibleTo(progress()));
    }
    EXPECT_TRUE(store().tokens.empty());
    EXPECT_TRUE(tokensOnDisk().empty());
}

TEST_F(ProgressPageTest, AReplyWithoutContentEndsTheBusyStateSilently) {
    download(url("only-ok"));
    EXPECT_FALSE(busy());
    EXPECT_FALSE(label(progress(), CProgressPage::IDC_ERROR)->isVisibleTo(progress()));
    EXPECT_FALSE(label(progress(), CProgressPage::IDC_INFORMATION)->isVisibleTo(progress()));
}

TEST_F(ProgressPageTest, AWorkerThatCannotStartReportsAFailedConnection) {
    WorkerGroup::failNextStartsForTesting(1);
    show({QStringLiteral("SyncToken"), q(url()), QStringLiteral("VX1"), QStringLiteral("1,2")});
    EXPECT_TRUE(showsError(QStringLiteral("Failed to connect the server.")));
    EXPECT_FALSE(busy());
    EXPECT_EQ(progress()->workerThreads(), 0u);

    // The next command starts normally.
    show({QStringLiteral("SyncToken"), q(url()), QStringLiteral("VX1"), QStringLiteral("1,2")});
    ASSERT_TRUE(waitFor([&] { return taken() == 1; }));
    EXPECT_TRUE(showsInformation(QStringLiteral("The token has been successfully synchronised.")));
}

TEST_F(ProgressPageTest, ATokenDeliveredButNotYetTakenIsKeptAtExit) {
    // The worker ends, but no event is processed before the window goes: the page's destructor
    // must still add and save the token the server handed over.
    show({QStringLiteral("DownloadToken"), q(url()), QStringLiteral("alice"), QStringLiteral("pw")});
    CProgressPage* page = progress();
    for (int i = 0; i < 3000 && page->runningWorkers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(page->runningWorkers(), 0u);
    EXPECT_EQ(page->outcomesTaken(), 0);
    m_window.reset();
    const auto onDisk = tokensOnDisk();
    ASSERT_EQ(onDisk.size(), 1u);
    EXPECT_EQ(onDisk[0]->provisioned, 1);
}

} // namespace
