// Renders every page of the page set, and the main window, at their real size into
// <build>/screenshots/ for people to look at. The checks are what a picture cannot hide: every
// page is 391 x 191 and each visible control lies inside it.
#include "ShellTestSupport.h"

#include <QDir>
#include <QImage>

using namespace shelltest;

namespace {

QString screenshotFolder() {
    const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
    const QString folder =
        (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) + QStringLiteral("/screenshots");
    QDir().mkpath(folder);
    return folder;
}

class ScreenshotTest : public ShellFixture {};

TEST_F(ScreenshotTest, EveryPageRendersInsideItsPicture) {
    CMainDlg& window = openMainWindow();
    unlockWithAToken();

    const QString folder = screenshotFolder();
    int rendered = 0;
    for (const auto& page : createPageSet()) {
        const unsigned id = page->GetID();
        window.Navigate(id);
        CPage* shown = window.findPage(id);
        ASSERT_NE(shown, nullptr);
        QWidget* hwnd = shown->GetHWND();
        ASSERT_NE(hwnd, nullptr) << id;
        EXPECT_EQ(hwnd->size(), QSize(391, 191)) << id;
        for (QWidget* child : hwnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisibleTo(hwnd))
                continue;
            EXPECT_TRUE(hwnd->rect().contains(child->geometry()))
                << "page " << id << " control " << controlId(child);
        }
        const QImage image = hwnd->grab().toImage();
        EXPECT_TRUE(image.save(QStringLiteral("%1/page_%2.png").arg(folder).arg(id)));
        ++rendered;
    }
    EXPECT_GT(rendered, 0);

    window.Navigate(pageid::SetPin);
    EXPECT_TRUE(waitFor([&] { return window.findPage(pageid::SetPin)->GetHWND()->pos() == QPoint(0, 0); }));
    EXPECT_TRUE(window.grab().toImage().save(folder + QStringLiteral("/main_window.png")));

    // The settings page in the window, as the user's guide shows it.
    window.Navigate(pageid::Settings);
    EXPECT_TRUE(waitFor([&] { return window.findPage(pageid::Settings)->GetHWND()->pos() == QPoint(0, 0); }));
    EXPECT_TRUE(window.grab().toImage().save(folder + QStringLiteral("/settings_window.png")));
}

} // namespace
