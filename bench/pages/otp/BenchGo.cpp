// Go on the home page with 1,000 and 10,000 tokens in the database: from the click on the Go button
// to the new code painted on the digit plate, the counter saved on the way (the page saves before it
// returns to the event loop, so the paint comes after the atomic save). The anchor, measured in
// the same iterations right after each click: an atomic save of the same bytes alone (write a
// temporary file, fsync, rename, fsync the folder, as the store saves) in the same folder, so both
// see the disk in the same state.
//
// BM_Go reports its manual time (click to paint) and, per repetition, the median click, the
// median anchor save and their ratio. BM_Save and BM_AtomicSave time the store's save() and the
// bare atomic save on their own, for the split. With 10,000 tokens, BM_OpenManager and
// BM_OpenPicker time the two views of the whole list: the command to the manager page's first
// paint, and the click on the change-token button to the picker's list painted.
#include "engine/OtpToken.h"
#include "pages/otp/NumberPlate.h"
#include "pages/otp/OtpPage.h"
#include "pages/otp/SelectTokenWindow.h"
#include "pages/tokens/ManagerPage.h"
#include "platform/Folders.h"
#include "app/Application.h"
#include "ui/DialogBuilder.h"
#include "app/MainDlg.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Tokens as a download leaves them: nine texts, two 20-byte keys and a suite each.
void fillStore(CValdorixTokenDB& store, int count) {
    for (int i = 0; i < count; ++i) {
        auto t = std::make_shared<COtpToken>();
        const std::string s = std::to_string(100000 + i);
        const std::u16string n(s.begin(), s.end());
        t->kind = TokenKind::Event;
        t->label = u"Bank:" + n;
        t->application = u"Bank";
        t->appId = u"bank.example";
        t->serial = n;
        t->tokenName = u"Web";
        t->userName = u"alice";
        t->serviceUrl = u"https://otp.example/xmlrpc";
        for (std::size_t k = 0; k < 20; ++k)
            t->primaryKey[k] = t->secondaryKey[k] = static_cast<std::uint8_t>(std::size_t(i) * 31 + k);
        t->primaryKeyLength = t->secondaryKeyLength = 20;
        t->counter = i;
        t->ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08";
        store.tokens.push_back(std::move(t));
    }
    store.setDefaultIndex(count / 2);
}

// Write, fsync, rename, fsync the folder: what an atomic save costs the disk, nothing built or
// enciphered.
bool atomicSave(const std::string& path, const std::vector<char>& bytes) {
    const std::string temporary = path + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += std::size_t(n);
    }
    const bool flushed = ::fsync(fd) == 0;
    if (::close(fd) != 0 || !flushed || ::rename(temporary.c_str(), path.c_str()) != 0)
        return false;
    const int folder = ::open(fs::path(path).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return false;
    const bool folderFlushed = ::fsync(folder) == 0;
    ::close(folder);
    return folderFlushed;
}

// Sets a flag when the widget it watches receives a paint event; the paint itself runs within the
// same event delivery, so once processEvents() returns with the flag set, the plate has painted.
class PaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Runs the event loop until `watch` has seen a paint; false after five seconds without one.
bool waitForPaint(PaintWatch& watch) {
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted) {
        QCoreApplication::processEvents();
        if (limit.elapsed() > 5000)
            return false;
    }
    return true;
}

// The program as a user has it: a data folder with a database of `count` tokens, unlocked, and
// the main window on the home page.
class GoSetup {
public:
    explicit GoSetup(int count) : m_count(count) {
        char pattern[] = "/tmp/valdorix-bench-go-XXXXXX";
        if (!::mkdtemp(pattern))
            return;
        m_root = pattern;
        ::setenv("XDG_DATA_HOME", m_root.c_str(), 1);
        platform::setMachineIdForTesting(std::string("bench-machine"));
        m_scope = std::make_unique<CValdorixTokenDB>();
        store().markUnlocked();
        fillStore(store(), count);
        if (!store().changePin(u"", u"2468"))
            std::abort();

        m_window = std::make_unique<CMainDlg>(store());
        m_window->Create();
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return;
        m_window->ShowPage(COtpPage::IDD, {});
        auto* page = dynamic_cast<COtpPage*>(m_window->findPage(COtpPage::IDD));
        // The home page slides in over the log-in page; it is the user's once it stands in place.
        if (!page || !QTest::qWaitFor([&] { return page->GetHWND()->pos() == QPoint(0, 0); }))
            return;
        m_page = page;
        m_go = dlgItem(page->GetHWND(), COtpPage::IDC_GO);
        m_changeToken = dlgItem(page->GetHWND(), COtpPage::IDC_CHANGE_TOKEN);
        m_page->plate()->installEventFilter(&m_watch);
        QTest::qWait(50);
    }
    ~GoSetup() {
        m_window.reset();
        m_scope.reset();
        if (!m_root.empty())
            fs::remove_all(m_root);
    }

    CValdorixTokenDB& store() { return *m_scope; }
    int count() const { return m_count; }
    bool ready() const { return m_page && m_go && m_changeToken && fs::exists(databasePath()); }
    std::string databasePath() const { return m_root + "/Valdorix/Valdorix4.db"; }
    std::string anchorPath() const { return m_root + "/Valdorix/anchor.db"; }

    std::vector<char> databaseBytes() const {
        std::ifstream in(databasePath(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // One press of Go, from the click to the plate painted. False when nothing painted.
    bool pressGo() {
        m_watch.painted = false;
        QTest::mouseClick(m_go, Qt::LeftButton);
        return waitForPaint(m_watch);
    }

    // The manager page from the home page, up to its first paint (the slide's first frame). The
    // way back, outside the time, lets the home page stand in place again.
    std::optional<double> openManager() {
        const auto start = Clock::now();
        m_window->ShowPage(CManagerPage::IDD, {});
        CPage* manager = m_window->findPage(CManagerPage::IDD);
        QWidget* window = manager ? manager->GetHWND() : nullptr;
        if (!window)
            return std::nullopt;
        PaintWatch watch;
        window->installEventFilter(&watch);
        const bool painted = waitForPaint(watch);
        const double ms = millisecondsSince(start);
        window->removeEventFilter(&watch);
        if (!painted || !backHome())
            return std::nullopt;
        return ms;
    }

    // The click on the change-token button up to the picker's list painted with every token;
    // the picker is closed outside the time.
    std::optional<double> openPicker() {
        const auto start = Clock::now();
        QTest::mouseClick(m_changeToken, Qt::LeftButton);
        if (!m_page->picker())
            (void)QTest::qWaitFor([&] { return m_page->picker() != nullptr; }, 5000);
        CSelectTokenWindow* picker = m_page->picker();
        if (!picker)
            return std::nullopt;
        // Made by the first click: watched from then on.
        if (!m_pickerWatched) {
            picker->listBox()->viewport()->installEventFilter(&m_pickerWatch);
            m_pickerWatched = true;
        }
        m_pickerWatch.painted = false;
        const bool painted = waitForPaint(m_pickerWatch) || m_pickerWatch.painted;
        const double ms = millisecondsSince(start);
        const bool whole = picker->listBox()->count() == m_count;
        picker->hide();
        QCoreApplication::processEvents();
        if (!painted || !whole)
            return std::nullopt;
        return ms;
    }

    // Go is locked for the token's delay after a press; what the lock's timer does at its end.
    void unlockGo() {
        m_page->onTimer(COtpPage::TimerGoLock);
        QCoreApplication::processEvents();
    }

    COtpPage* page() const { return m_page; }

private:
    bool backHome() {
        m_window->ShowPage(COtpPage::IDD, {});
        QWidget* home = m_page->GetHWND();
        return QTest::qWaitFor([&] { return home->isVisible() && home->pos() == QPoint(0, 0); }, 5000);
    }

    std::string m_root;
    std::unique_ptr<CValdorixTokenDB> m_scope;
    std::unique_ptr<CMainDlg> m_window;
    COtpPage* m_page = nullptr;
    QWidget* m_go = nullptr;
    QWidget* m_changeToken = nullptr;
    PaintWatch m_watch;
    PaintWatch m_pickerWatch;
    bool m_pickerWatched = false;
    const int m_count;
};

// One setup at a time: the store finds its folder through XDG_DATA_HOME, so a second one alive
// would save into the first one's folder. Benchmarks of the same size run one after the other.
std::unique_ptr<GoSetup> g_setup;

GoSetup* setupFor(int count) {
    if (!g_setup || g_setup->count() != count) {
        g_setup.reset();
        g_setup = std::make_unique<GoSetup>(count);
    }
    return g_setup->ready() ? g_setup.get() : nullptr;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void BM_Go(benchmark::State& state) {
    GoSetup* found = setupFor(int(state.range(0)));
    if (!found) {
        state.SkipWithError("the home page did not come up");
        return;
    }
    GoSetup& setup = *found;
    const std::shared_ptr<COtpToken> token = setup.store().defaultToken();
    const std::int64_t firstCounter = token->counter;
    std::vector<double> clicks, anchors;
    for (auto _ : state) {
        setup.unlockGo();
        const auto start = Clock::now();
        if (!setup.pressGo()) {
            state.SkipWithError("the plate never painted");
            break;
        }
        const double click = millisecondsSince(start);
        state.SetIterationTime(click / 1000.0);
        clicks.push_back(click);

        // The anchor, outside the measured time: the same bytes saved atomically alone.
        const std::vector<char> bytes = setup.databaseBytes();
        const auto anchorStart = Clock::now();
        if (!atomicSave(setup.anchorPath(), bytes)) {
            state.SkipWithError("anchor save failed");
            break;
        }
        anchors.push_back(millisecondsSince(anchorStart));
    }
    // Every press advanced the counter and put it on disk.
    auto reloaded = std::make_unique<CValdorixTokenDB>();
    reloaded->setPin(u"2468");
    if (token->counter != firstCounter + std::int64_t(clicks.size()) || !reloaded->load() ||
        reloaded->defaultToken()->counter != token->counter || setup.page()->plate()->topCode().empty())
        state.SkipWithError("a press was not saved");
    state.counters["go_median_ms"] = median(clicks);
    state.counters["anchor_median_ms"] = median(anchors);
    state.counters["x_anchor"] = median(anchors) > 0 ? median(clicks) / median(anchors) : 0;
    state.counters["file_bytes"] = double(setup.databaseBytes().size());
}
BENCHMARK(BM_Go)->Arg(1000)->Arg(10000)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

// The store's part of a press: archive, RC4 and the atomic save of the 1,000 tokens.
void BM_Save(benchmark::State& state) {
    GoSetup* found = setupFor(1000);
    if (!found) {
        state.SkipWithError("the home page did not come up");
        return;
    }
    GoSetup& setup = *found;
    for (auto _ : state) {
        if (!setup.store().save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_Save)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// The anchor alone: write, fsync and rename the same number of bytes.
void BM_AtomicSave(benchmark::State& state) {
    GoSetup* found = setupFor(1000);
    if (!found) {
        state.SkipWithError("the home page did not come up");
        return;
    }
    GoSetup& setup = *found;
    const std::vector<char> bytes = setup.databaseBytes();
    for (auto _ : state) {
        if (!atomicSave(setup.anchorPath(), bytes))
            state.SkipWithError("write failed");
    }
}
BENCHMARK(BM_AtomicSave)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

// Each view of the whole list, opened and closed again; the time is the opening alone.
void openView(benchmark::State& state, std::optional<double> (GoSetup::*open)()) {
    GoSetup* setup = setupFor(int(state.range(0)));
    if (!setup) {
        state.SkipWithError("the home page did not come up");
        return;
    }
    std::vector<double> times;
    for (auto _ : state) {
        const std::optional<double> ms = (setup->*open)();
        if (!ms) {
            state.SkipWithError("the view did not paint with every token");
            break;
        }
        state.SetIterationTime(*ms / 1000.0);
        times.push_back(*ms);
    }
    state.counters["median_ms"] = median(times);
}

void BM_OpenManager(benchmark::State& state) {
    openView(state, &GoSetup::openManager);
}
BENCHMARK(BM_OpenManager)->Arg(10000)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_OpenPicker(benchmark::State& state) {
    openView(state, &GoSetup::openPicker);
}
BENCHMARK(BM_OpenPicker)->Arg(10000)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // The benchmark needs no display; an explicit platform choice is kept.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    initialiseModule();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    g_setup.reset();
    benchmark::Shutdown();
    return 0;
}
