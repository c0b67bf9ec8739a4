// Start-up of the real program against a minimal Qt Widgets program, measured by the same code in
// the same run. Each iteration launches both, one after the other, on the offscreen platform with
// VALDORIX_EXIT_AFTER_FIRST_PAINT set: each ends right after its first page (or form) has
// painted, so the wall time is launch to first paint and the peak resident set is what it took
// to get there. The counters give the program's own figures, the minimal program's, and ratios.
#include "engine/OtpToken.h"
#include "store/ValdorixTokenDB.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Launch {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

// One run of `program` with the environment of this process plus `overrides`, output discarded.
Launch launch(const std::string& program, const std::vector<std::string>& overrides) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& o : overrides)
            replaced = replaced || o.substr(0, o.find('=')) == name;
        if (!replaced)
            env.push_back(entry);
    }
    env.insert(env.end(), overrides.begin(), overrides.end());
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    Launch result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return result;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return result;
    const auto end = std::chrono::steady_clock::now();
    result.seconds = std::chrono::duration<double>(end - start).count();
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.peakMiB = double(usage.ru_maxrss) / 1024.0; // kibibytes on Linux
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// A data and a config folder of their own, optionally with a database of `tokens` tokens, so
// that the program starts on the log-in page instead of the set-PIN page.
class Folders {
public:
    explicit Folders(int tokens) {
        std::string pattern = (fs::temp_directory_path() / "valdorix-startup-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            return;
        m_root = pattern;
        fs::create_directories(m_root / "data");
        fs::create_directories(m_root / "config");
        if (tokens > 0)
            writeDatabase(tokens);
    }
    ~Folders() {
        std::error_code ignored;
        if (!m_root.empty())
            fs::remove_all(m_root, ignored);
    }
    Folders(const Folders&) = delete;
    Folders& operator=(const Folders&) = delete;

    std::vector<std::string> environment() const {
        return {"QT_QPA_PLATFORM=offscreen", "VALDORIX_EXIT_AFTER_FIRST_PAINT=1",
                "XDG_DATA_HOME=" + (m_root / "data").string(),
                "XDG_CONFIG_HOME=" + (m_root / "config").string()};
    }
    bool ok() const { return !m_root.empty(); }

private:
    // Written by a child process: a program launched later from this process (spawned with
    // its memory shared until the exec) reports this process's peak resident size as its own,
    // so this process must never hold the token list.
    void writeDatabase(int tokens) {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(writeDatabaseHere(tokens) ? 0 : 1);
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            m_root.clear();
    }

    bool writeDatabaseHere(int tokens) {
        // The store finds its folder through XDG_DATA_HOME, read at each call.
        setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
        CValdorixTokenDB db;
        db.setPin(u"1234");
        db.markUnlocked();
        for (int i = 0; i < tokens; ++i) {
            auto token = std::make_shared<COtpToken>();
            const std::u16string n = [i] {
                std::u16string s;
                for (char c : std::to_string(100000 + i))
                    s.push_back(char16_t(c));
                return s;
            }();
            token->serial = u"VX" + n;
            token->label = u"Token " + n;
            token->primaryKeyLength = 20;
            // Straight into the list: adding one by one checks the list each time.
            db.tokens.push_back(std::move(token));
        }
        // The program looks for exactly this file to choose the log-in page.
        return db.save() && fs::is_regular_file(m_root / "data" / "Valdorix" / "Valdorix4.db");
    }

    fs::path m_root;
};

void startup(benchmark::State& state, int tokens) {
    Folders appFolders(tokens);
    Folders minimalFolders(0);
    if (!appFolders.ok() || !minimalFolders.ok()) {
        state.SkipWithError("cannot make the temporary folders or the database");
        return;
    }
    // One untimed run of each warms the caches (fontconfig, the page cache) for both alike.
    if (!launch(MINIMAL_QT_PATH, minimalFolders.environment()).ok ||
        !launch(VALDORIX_PATH, appFolders.environment()).ok) {
        state.SkipWithError("a program did not end with status 0 after its first paint");
        return;
    }
    Launch app, minimal;
    for (auto _ : state) {
        const Launch m = launch(MINIMAL_QT_PATH, minimalFolders.environment());
        const Launch a = launch(VALDORIX_PATH, appFolders.environment());
        if (!m.ok || !a.ok) {
            state.SkipWithError("a program did not end with status 0 after its first paint");
            return;
        }
        state.SetIterationTime(a.seconds);
        app.seconds += a.seconds;
        app.cpuSeconds += a.cpuSeconds;
        app.peakMiB += a.peakMiB;
        minimal.seconds += m.seconds;
        minimal.cpuSeconds += m.cpuSeconds;
        minimal.peakMiB += m.peakMiB;
    }
    const double n = double(state.iterations());
    state.counters["app_cpu_ms"] = app.cpuSeconds / n * 1e3;
    state.counters["app_peak_MiB"] = app.peakMiB / n;
    state.counters["minimal_wall_ms"] = minimal.seconds / n * 1e3;
    state.counters["minimal_cpu_ms"] = minimal.cpuSeconds / n * 1e3;
    state.counters["minimal_peak_MiB"] = minimal.peakMiB / n;
    state.counters["x_wall"] = app.seconds / minimal.seconds;
    state.counters["x_peak"] = app.peakMiB / minimal.peakMiB;
}

// First start: no database, the set-PIN page.
void BM_StartupFirstStart(benchmark::State& state) {
    startup(state, 0);
}
// A database present: the log-in page, after the header read; its size should not show.
void BM_StartupLogIn(benchmark::State& state) {
    startup(state, static_cast<int>(state.range(0)));
}

BENCHMARK(BM_StartupFirstStart)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_StartupLogIn)->Arg(1000)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

BENCHMARK_MAIN();
