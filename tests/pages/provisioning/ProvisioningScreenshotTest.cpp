// Pictures of the five provisioning pages, for people to look at, in <build>/screenshots/:
// the progress page mid-animation, informed and failed, and the four input pages filled in.
// The checks are what a picture cannot hide: each page is 391 x 191 and its visible controls
// lie inside it.
#include "PagesTestSupport.h"

#include <QDir>
#include <QImage>

using namespace pagestest;

namespace {

QString screenshotFolder() {
    const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
    const QString folder =
        (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    return folder;
}

class ProvisioningScreenshotTest : public PagesFixture {
protected:
    void capture(unsigned id, const QString& name) {
        QWidget* hwnd = m_window->findPage(id)->GetHWND();
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(waitFor([&] { return hwnd->pos() == QPoint(0, 0); }));
        EXPECT_EQ(hwnd->size(), QSize(391, 191)) << id;
        for (QWidget* child : hwnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isVisibleTo(hwnd)) {
                EXPECT_TRUE(hwnd->rect().contains(child->geometry())) << id << " " << controlId(child);
            }
        }
        EXPECT_TRUE(hwnd->grab().toImage().save(screenshotFolder() +
                                                QStringLiteral("/provisioning_%1.png").arg(name)));
    }
};

TEST_F(ProvisioningScreenshotTest, FivePages) {
    createDatabase();
    openMainWindow();
    auto token = std::make_shared<COtpToken>();
    token->label = u"Mail:VX0012345";
    token->serial = u"VX0012345";
    store().tokens.push_back(token);

    m_window->Navigate(pageid::Download);
    auto* download = page<CDownloadPage>(pageid::Download);
    type(edit(download, CDownloadPage::IDC_SERVICE_URL), QStringLiteral("https://otp.example.com/rpc"));
    type(edit(download, CDownloadPage::IDC_LOGIN_NAME), QStringLiteral("alice"));
    type(edit(download, CDownloadPage::IDC_PASSWORD), QStringLiteral("secret"));
    capture(pageid::Download, QStringLiteral("223_download"));

    m_window->ShowPage(pageid::Activate, {QStringLiteral("QUJD")});
    type(edit(page<CActivatePage>(pageid::Activate), CActivatePage::IDC_CODE), QStringLiteral("12345678"));
    capture(pageid::Activate, QStringLiteral("225_activate"));

    m_window->Navigate(pageid::TokenPackActivate);
    capture(pageid::TokenPackActivate, QStringLiteral("231_token_pack_activate"));

    m_window->Navigate(pageid::Synchronise);
    capture(pageid::Synchronise, QStringLiteral("226_synchronise"));

    m_window->ShowPage(pageid::Progress, {QStringLiteral("DownloadToken"), q(url("slow-60000")),
                                          QStringLiteral("alice"), QStringLiteral("pw")});
    CClipPlayer* clip = progress()->animation();
    ASSERT_TRUE(waitFor([&] { return clip->currentFrame() >= 5; }));
    EXPECT_EQ(clip->size(), QSize(220, 18));
    capture(pageid::Progress, QStringLiteral("224_progress_busy"));

    m_window->ShowPage(pageid::Progress, {QStringLiteral("DownloadTokenOK")});
    capture(pageid::Progress, QStringLiteral("224_progress_informed"));

    m_window->ShowPage(pageid::Progress, {QStringLiteral("DownloadToken"), q(url("refuse-explained")),
                                          QStringLiteral("alice"), QStringLiteral("pw")});
    ASSERT_TRUE(waitFor([&] { return progress()->outcomesTaken() >= 1 && !busy(); }));
    capture(pageid::Progress, QStringLiteral("224_progress_failed"));
}

} // namespace
