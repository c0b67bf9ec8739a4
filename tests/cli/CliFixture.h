#pragma once

#include "store/ValdorixTokenDB.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace clitest {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1; // exit status; -1 when the process did not exit by itself
    std::string out;
    std::string err;
};

inline std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `program` with `arguments`, `input` as its standard input (a file, not a terminal) and
// its output captured. `fileSizeLimit`, when given, bounds what the child may write to a file,
// with SIGXFSZ ignored so that a write past it fails with EFBIG instead of killing the child.
inline CliRun runProgram(const fs::path& scratch, const std::string& program,
                         const std::vector<std::string>& arguments, const std::string& input,
                         std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    const fs::path in = scratch / "stdin", out = scratch / "stdout", err = scratch / "stderr";
    std::ofstream(in, std::ios::binary | std::ios::trunc) << input;
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int fds[] = {::open(in.c_str(), O_RDONLY),
                           ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600),
                           ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)};
        for (int target = 0; target < 3; ++target) {
            if (fds[target] < 0 || ::dup2(fds[target], target) < 0)
                ::_exit(127);
            ::close(fds[target]);
        }
        if (fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    CliRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = readText(out);
    run.err = readText(err);
    return run;
}

// A private data folder per test, where valdorix-cli finds the window's database
// ($XDG_DATA_HOME/Valdorix/Valdorix4.db), and the helpers to run it there.
class CliFixture : public ::testing::Test {
protected:
    static constexpr const char* Pin = "2468";

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        // Parameterised tests have "/" in their names.
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '_');
        m_root = fs::temp_directory_path() / ("valdorix-cli-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(m_root);
        fs::create_directories(m_root / "data");
        ::setenv("XDG_DATA_HOME", (m_root / "data").c_str(), 1);
        const char* cli = std::getenv("VALDORIX_CLI");
        ASSERT_NE(cli, nullptr) << "VALDORIX_CLI names the valdorix-cli to test";
        m_cli = cli;
    }
    void TearDown() override {
        ::unsetenv("XDG_DATA_HOME");
        fs::remove_all(m_root);
    }

    // valdorix-cli with `arguments`; `input` is its standard input.
    CliRun cli(const std::vector<std::string>& arguments, const std::string& input = std::string(Pin) + "\n",
               std::optional<rlim_t> fileSizeLimit = std::nullopt) const {
        return runProgram(m_root, m_cli, arguments, input, fileSizeLimit);
    }

    // A database with the fixture's PIN at the window's place, or at `file`.
    void init(const std::string& file = {}) const {
        std::vector<std::string> arguments{"init"};
        if (!file.empty())
            arguments.insert(arguments.begin(), {"--database", file});
        const CliRun run = cli(arguments, std::string(Pin) + "\n" + Pin + "\n");
        ASSERT_EQ(run.status, 0) << run.err;
    }

    // Another program's first line of output (oathtool).
    std::string firstLine(const std::string& program, const std::vector<std::string>& arguments) const {
        const CliRun run = runProgram(m_root, program, arguments, {});
        EXPECT_EQ(run.status, 0) << program << ": " << run.err;
        return run.out.substr(0, run.out.find('\n'));
    }

    fs::path databaseFile() const { return m_root / "data" / "Valdorix" / "Valdorix4.db"; }
    fs::path scratch() const { return m_root; }

    // The database at `file` (the window's when empty) opened as the window opens it.
    static std::unique_ptr<CValdorixTokenDB> openStore(const std::string& file = {}) {
        auto store = std::make_unique<CValdorixTokenDB>(file);
        std::u16string pin;
        for (const char* c = Pin; *c; ++c)
            pin.push_back(static_cast<char16_t>(*c));
        if (!store->setPin(pin) || !store->load())
            return nullptr;
        return store;
    }

private:
    fs::path m_root;
    std::string m_cli;
};

} // namespace clitest
