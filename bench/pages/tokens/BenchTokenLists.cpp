// The token lists with many tokens, each fitted to its order over four sizes:
//   BM_PickerFill   opening the token picker (its list filled from the store) and closing it;
//   BM_DeleteMany   Ctrl+A, Delete, Yes on the manager page: one pass over the store, one save,
//                   the view made again once.
// Both run on the offscreen platform; the question is answered by the message-box hook.
#include "pages/otp/SelectTokenWindow.h"
#include "pages/tokens/ManagerPage.h"
#include "platform/Folders.h"
#include "ui/LabelEditListView.h"
#include "ui/MessageBox.h"
#include "store/ValdorixTokenDB.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

std::vector<std::shared_ptr<COtpToken>> makeTokens(std::int64_t count) {
    std::vector<std::shared_ptr<COtpToken>> tokens;
    tokens.reserve(std::size_t(count));
    for (std::int64_t i = 0; i < count; ++i) {
        auto t = std::make_shared<COtpToken>();
        const std::string s = std::to_string(100000 + i);
        const std::u16string n(s.begin(), s.end());
        t->label = u"Bank " + n;
        t->application = u"Bank";
        t->serial = n;
        t->tokenName = u"Web " + n;
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// A data folder of its own and an open store with a PIN, so that deletes save as they do for
// the user.
class StoreSetup {
public:
    StoreSetup() {
        char pattern[] = "/tmp/valdorix-bench-lists-XXXXXX";
        if (!::mkdtemp(pattern))
            std::abort();
        m_root = pattern;
        ::setenv("XDG_DATA_HOME", m_root.c_str(), 1);
        platform::setMachineIdForTesting(std::string("bench-machine"));
        m_store = std::make_unique<CValdorixTokenDB>();
        m_store->markUnlocked();
        if (!m_store->changePin(u"", u"2468"))
            std::abort();
    }
    ~StoreSetup() {
        m_store.reset();
        std::error_code ignored;
        std::filesystem::remove_all(m_root, ignored);
    }
    CValdorixTokenDB& store() { return *m_store; }

private:
    std::string m_root;
    std::unique_ptr<CValdorixTokenDB> m_store;
};

StoreSetup* g_setup = nullptr;

void sizes(benchmark::internal::Benchmark* b) {
    for (int n : {1000, 4000, 16000, 64000})
        b->Arg(n);
}

void BM_PickerFill(benchmark::State& state) {
    g_setup->store().tokens = makeTokens(state.range(0));
    QWidget owner;
    CSelectTokenWindow picker(&owner, g_setup->store(), 20);
    for (auto _ : state) {
        picker.open(QPoint(0, 0));
        if (picker.listBox()->count() != state.range(0))
            state.SkipWithError("the picker does not list every token");
        state.PauseTiming();
        picker.hide();
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PickerFill)->Apply(sizes)->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity();

void BM_DeleteMany(benchmark::State& state) {
    CValdorixTokenDB& store = g_setup->store();
    const std::vector<std::shared_ptr<COtpToken>> all = makeTokens(state.range(0));
    CManagerPage page;
    page.SetStore(store);
    page.Create(nullptr, QRect());
    MessageBox::setAnswerForAll(MessageBox::IDYES);
    for (auto _ : state) {
        state.PauseTiming();
        store.tokens = all;
        page.OnShow({});
        page.list()->selectAll();
        QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        state.ResumeTiming();
        page.PreTranslateMessage(page.list(), &del);
        if (!store.tokens.empty() || page.list()->topLevelItemCount() != 0)
            state.SkipWithError("not every token went");
    }
    MessageBox::setAnswerForAll(std::nullopt);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeleteMany)->Apply(sizes)->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    StoreSetup setup;
    g_setup = &setup;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_setup = nullptr;
    return 0;
}
