#pragma once

#include "tests/app/ShellTestSupport.h"

#include <QDir>
#include <QImage>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

// Readable failures for Qt texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tokentest {

using namespace shelltest;

// Counts the store's saves: every save renames its finished temporary file over the database,
// and each rename shows as one "moved to" event on the folder.
class SaveCounter {
public:
    explicit SaveCounter(const fs::path& folder) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0)
            inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO);
    }
    ~SaveCounter() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SaveCounter(const SaveCounter&) = delete;
    SaveCounter& operator=(const SaveCounter&) = delete;

    bool isValid() const { return m_fd >= 0; }

    // Saves of the database since the counter started.
    int saves() {
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t length = ::read(m_fd, buffer, sizeof buffer);
            if (length <= 0)
                break;
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= length;) {
                inotify_event event;
                std::memcpy(&event, buffer + at, sizeof event);
                const char* name = buffer + at + sizeof(inotify_event);
                if (event.len > 0 && std::strcmp(name, "Valdorix4.db") == 0)
                    ++m_saves;
                at += ssize_t(sizeof(inotify_event) + event.len);
            }
        }
        return m_saves;
    }

private:
    int m_fd;
    int m_saves = 0;
};

// A token as a download would leave it, with every text the pages show.
inline std::shared_ptr<COtpToken> makeToken(std::u16string label, std::u16string application,
                                            std::u16string serial) {
    auto token = std::make_shared<COtpToken>();
    token->label = std::move(label);
    token->application = std::move(application);
    token->serial = std::move(serial);
    return token;
}

class TokenPagesFixture : public ShellFixture {
protected:
    static constexpr std::u16string_view Pin = u"1234";

    // The main window with an open store whose file holds `tokens` (PIN "1234"). Called again,
    // it keeps the window and starts over with the new tokens.
    CMainDlg& openWithTokens(std::vector<std::shared_ptr<COtpToken>> tokens, int defaultIndex = 0) {
        CMainDlg& window = m_window ? *m_window : openMainWindow();
        if (!store().isUnlocked()) {
            store().markUnlocked();
            EXPECT_TRUE(store().changePin(u"", Pin));
        }
        store().tokens = std::move(tokens);
        store().setDefaultIndex(defaultIndex);
        EXPECT_TRUE(store().save());
        m_saves = std::make_unique<SaveCounter>(productFolder());
        return window;
    }

    int saves() { return m_saves ? m_saves->saves() : 0; }

    // The database as the next start would read it.
    std::unique_ptr<CValdorixTokenDB> reopen() {
        auto db = std::make_unique<CValdorixTokenDB>();
        db->setPin(Pin);
        if (!db->load())
            return nullptr;
        return db;
    }

    template <class T>
    T* show(unsigned id) {
        m_window->Navigate(id);
        return currentPage<T>();
    }

    // Writes page `id` and the whole window to <build>/screenshots/<name>.png and <name>_window.png
    // for people to look at, checking what a picture cannot hide: the page fills its picture and
    // no visible control leaves it.
    void capture(unsigned id, const QString& name) {
        CPage* page = m_window->findPage(id);
        ASSERT_NE(page, nullptr);
        QWidget* hwnd = page->GetHWND();
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(waitFor([&] { return hwnd->pos() == QPoint(0, 0); }));
        EXPECT_EQ(hwnd->size(), QSize(391, 191)) << id;
        for (QWidget* child : hwnd->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (!child->isVisibleTo(hwnd))
                continue;
            EXPECT_TRUE(hwnd->rect().contains(child->geometry())) << id << " " << controlId(child);
        }
        const QByteArray binary = qgetenv("VALDORIX_BINARY_DIR");
        const QString folder = (binary.isEmpty() ? QDir::currentPath() : QString::fromUtf8(binary)) +
                               QStringLiteral("/screenshots");
        QDir().mkpath(folder);
        EXPECT_TRUE(hwnd->grab().toImage().save(QStringLiteral("%1/%2.png").arg(folder, name)));
        EXPECT_TRUE(m_window->grab().toImage().save(QStringLiteral("%1/%2_window.png").arg(folder, name)));
    }

private:
    std::unique_ptr<SaveCounter> m_saves;
};

} // namespace tokentest
