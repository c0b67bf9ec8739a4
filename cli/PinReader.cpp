#include "cli/PinReader.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace cli {
namespace {

// The terminal's settings while echo is off, so that a signal can give echo back before the
// process ends: a shell left without echo is no way to leave the user.
termios g_saved{};
volatile std::sig_atomic_t g_echoOff = 0;

extern "C" void restoreEchoAndDie(int signal) {
    if (g_echoOff)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class EchoOff {
public:
    EchoOff() {
        if (::tcgetattr(STDIN_FILENO, &g_saved) != 0)
            return;
        termios quiet = g_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGTSTP})
            m_previous.push_back({signal, std::signal(signal, restoreEchoAndDie)});
        g_echoOff = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (g_echoOff)
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
        g_echoOff = 0;
        for (const auto& [signal, handler] : m_previous)
            std::signal(signal, handler);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    struct Previous {
        int signal;
        void (*handler)(int);
    };
    std::vector<Previous> m_previous;
};

// One line of standard input without its end; std::nullopt at the end of the input before any
// character, or when the line is longer than `limit` (the rest of it is passed over).
std::optional<std::string> readLine(std::size_t limit) {
    std::string line;
    bool tooLong = false;
    int c = 0;
    while ((c = std::getchar()) != EOF && c != '\n') {
        if (line.size() < limit)
            line.push_back(static_cast<char>(c));
        else
            tooLong = true;
    }
    if ((c == EOF && line.empty()) || tooLong) {
        std::fill(line.begin(), line.end(), '\0');
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

} // namespace

CPinReader::CPinReader() : m_terminal(::isatty(STDIN_FILENO) == 1) {
    // Standard input is read byte by byte: no buffer of it keeps a PIN after use.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
}

std::optional<std::u16string> CPinReader::read(std::string_view prompt) {
    std::optional<std::string> line;
    if (m_terminal) {
        {
            // Echo goes off before the prompt shows, so nothing typed after it is ever echoed.
            EchoOff quiet;
            std::fwrite(prompt.data(), 1, prompt.size(), stderr);
            std::fflush(stderr);
            line = readLine(MaxLength);
        }
        // The Enter the user typed was not echoed either.
        std::fputc('\n', stderr);
    } else {
        line = readLine(MaxLength);
    }
    if (!line)
        return std::nullopt;
    std::u16string pin = platform::utf8ToUtf16(*line);
    std::fill(line->begin(), line->end(), '\0');
    return pin;
}

} // namespace cli
