#include "cli/Commands.h"

#include "cli/TokenMatch.h"
#include "engine/Ocra.h"
#include "engine/OtpAuthUri.h"
#include "platform/CodePage.h"
#include "platform/DatabaseLock.h"
#include "qr/QrCodes.h"
#include "store/FileBytes.h"
#include "store/ValdorixTokenDB.h"

#include <QFile>
#include <algorithm>
#include <optional>
#include <string>

namespace cli {
namespace {

std::string utf8(std::u16string_view text) {
    return platform::utf16ToUtf8(text);
}

std::string_view kindName(TokenKind kind) {
    switch (kind) {
    case TokenKind::Event:
        return "event";
    case TokenKind::Time:
        return "time";
    case TokenKind::ChallengeOnly:
        return "challenge";
    case TokenKind::EventTime:
        return "event+time";
    case TokenKind::OcraEvent:
        return "ocra-event";
    case TokenKind::OcraTime:
        return "ocra-time";
    case TokenKind::Totp:
        return "totp";
    }
    return "challenge"; // a stored value outside the kinds behaves as one
}

// One line of `list`: the 1-based index, the kind, the name and the serial.
void printToken(std::ostream& out, int index, const COtpToken& token) {
    out << index + 1 << '\t' << kindName(token.kind) << '\t' << utf8(token.displayName()) << '\t'
        << utf8(token.serial) << '\n';
}

void wipe(std::u16string& text) {
    std::fill(text.begin(), text.end(), u'\0');
    text.clear();
}

// Pixels per module of an exported QR code: large enough for a phone's camera on a screen.
constexpr int QrModulePixels = 8;

class CCommandRunner {
public:
    CCommandRunner(const Arguments& arguments, CPinReader& pins, std::ostream& out, std::ostream& err)
        : m_arguments(arguments), m_pins(pins), m_out(out), m_err(err), m_store(arguments.database),
          m_path(m_store.databasePath({})) {}

    int run() {
        switch (m_arguments.command) {
        case Command::Init:
            return init();
        case Command::List:
            return list();
        case Command::Add:
            return add();
        case Command::Code:
            return code();
        case Command::Respond:
            return respond();
        case Command::Export:
            return exportUri();
        case Command::Help:
        case Command::Version:
            break;
        }
        return ExitUsage;
    }

private:
    int fail(const std::string& reason) {
        m_err << "valdorix-cli: " << reason << '\n';
        return ExitFailure;
    }

    int failSave(const SaveResult& saved, std::string_view what) {
        return fail("could not save " + saved.path + ": " + saved.reason() + "; " + std::string(what));
    }

    // A database that is not there, with the reason the user can act on.
    int failMissing() {
        if (const auto target = missingLinkTarget(m_path))
            return fail(m_path + " leads to " + *target + ", which is missing");
        return fail("no database at " + m_path + "; 'valdorix-cli init' makes one");
    }

    int init() {
        if (m_store.exists())
            return fail("a database exists already at " + m_path);
        std::optional<std::u16string> pin = m_pins.read("New PIN: ");
        std::optional<std::u16string> repeated = pin ? m_pins.read("Repeat the PIN: ") : std::nullopt;
        if (!pin || !repeated)
            return fail("init needs the PIN twice on standard input");
        const bool fits = pin->size() > 3, same = *pin == *repeated;
        wipe(*repeated);
        if (!fits || !same) {
            wipe(*pin);
            return fail(!fits ? "The PIN needs at least 4 characters." : "The two PINs differ.");
        }
        platform::DatabaseLock lock(m_path);
        if (lock.heldElsewhere()) {
            wipe(*pin);
            return failWindowOpen();
        }
        // Checked again under the lock: a window may have made it while the PIN was typed.
        if (m_store.exists()) {
            wipe(*pin);
            return fail("a database exists already at " + m_path);
        }
        m_store.markUnlocked();
        const PinChange change = m_store.changePin(u"", *pin);
        wipe(*pin);
        switch (change.status) {
        case PinChange::Changed:
            return ExitSuccess;
        case PinChange::Unrepresentable:
            return fail("This PIN has characters that your token database cannot store. Please choose a PIN "
                        "without them.");
        case PinChange::NotSaved:
            return failSave(change.saved, "no database was made");
        case PinChange::WrongPin:
            break;
        }
        return fail("the database could not be made");
    }

    int failWindowOpen() {
        return fail(m_path + " is open in the Valdorix window; close the window to change the tokens");
    }

    // Asks for the PIN and loads the database with it, holding the lock when it can be had.
    bool open() {
        if (!m_store.exists()) {
            failMissing();
            return false;
        }
        std::optional<std::u16string> pin = m_pins.read("PIN: ");
        if (!pin) {
            fail("no PIN on standard input");
            return false;
        }
        // Taken before the file is read, so what this command saves is built on the newest file.
        m_lock.emplace(m_path);
        const bool loaded = m_store.setPin(*pin) && m_store.load();
        wipe(*pin);
        if (loaded)
            return true;
        const std::error_code error = m_store.readError();
        if (error == std::errc::file_too_large)
            fail(m_path + " is larger than 256 MiB; Valdorix does not read a file that large");
        else if (error)
            fail("cannot read " + m_path + ": " + error.message());
        else
            fail("Incorrect PIN");
        return false;
    }

    // True when this command may change the database; otherwise says why.
    bool mayWrite() {
        if (m_lock && m_lock->heldElsewhere()) {
            failWindowOpen();
            return false;
        }
        return true;
    }

    // The token TOKEN names; null after listing the candidates.
    std::shared_ptr<COtpToken> findToken() {
        const TokenMatch match = matchToken(m_store.tokens, m_arguments.token);
        if (match.index >= 0)
            return m_store.tokens[static_cast<std::size_t>(match.index)];
        if (match.ambiguous)
            fail("'" + m_arguments.token + "' matches " + std::to_string(match.candidates.size()) +
                 " tokens:");
        else if (m_store.tokens.empty())
            fail("no token matches '" + m_arguments.token + "': the database holds none");
        else
            fail("no token matches '" + m_arguments.token + "'; the tokens are:");
        for (int index : match.candidates)
            printToken(m_err, index, *m_store.tokens[static_cast<std::size_t>(index)]);
        return nullptr;
    }

    int list() {
        if (!open())
            return ExitFailure;
        for (std::size_t i = 0; i < m_store.tokens.size(); ++i)
            printToken(m_out, static_cast<int>(i), *m_store.tokens[i]);
        return ExitSuccess;
    }

    int add() {
        if (!m_arguments.qrImage.empty())
            return addFromPicture();
        // A bad URI is told before any PIN is asked for.
        OtpAuthResult parsed = parseOtpAuthUri(m_arguments.uri);
        if (!parsed.token)
            return fail("cannot add the URI: " + parsed.error);
        if (!open())
            return ExitFailure;
        return addTokens({parsed.token});
    }

    // Every QR code of the picture is read before the PIN is asked for; one that holds no
    // otpauth URI is told and passed over, the others are added.
    int addFromPicture() {
        const QrFileResult read = readQrCodesFromFile(QFile::decodeName(m_arguments.qrImage.c_str()));
        if (!read.error.isEmpty())
            return fail(read.error.toStdString());
        std::vector<std::shared_ptr<COtpToken>> tokens;
        std::vector<std::string> skipped;
        for (std::size_t i = 0; i < read.texts.size(); ++i) {
            OtpAuthResult parsed = parseOtpAuthUri(read.texts[i]);
            if (parsed.token)
                tokens.push_back(std::move(parsed.token));
            else
                skipped.push_back("QR code " + std::to_string(i + 1) + " of " + m_arguments.qrImage +
                                  " was passed over: " + parsed.error);
        }
        if (tokens.empty()) {
            for (std::size_t i = 0; i + 1 < skipped.size(); ++i)
                fail(skipped[i]);
            return fail(skipped.back());
        }
        if (!open())
            return ExitFailure;
        const int status = addTokens(tokens);
        for (const std::string& reason : skipped)
            fail(reason);
        return skipped.empty() ? status : ExitFailure;
    }

    // Adds each token the database does not have yet (same appId and serial) and saves.
    int addTokens(const std::vector<std::shared_ptr<COtpToken>>& tokens) {
        std::vector<std::shared_ptr<COtpToken>> added;
        std::vector<std::string> lines;
        for (const auto& token : tokens) {
            const auto present = std::find_if(m_store.tokens.begin(), m_store.tokens.end(),
                                              [&](const auto& held) { return held->sameToken(*token); });
            if (present != m_store.tokens.end()) {
                lines.push_back("already present as " + std::to_string(present - m_store.tokens.begin() + 1) +
                                ": " + utf8((*present)->displayName()));
                continue;
            }
            if (added.empty() && !mayWrite())
                return ExitFailure;
            m_store.addToken(token, false);
            added.push_back(token);
            lines.push_back("added " + std::to_string(m_store.tokens.size()) + ": " +
                            utf8(token->displayName()));
        }
        if (!added.empty()) {
            const SaveResult saved = m_store.save();
            if (!saved)
                return failSave(saved, "no token was added");
        }
        for (const std::string& line : lines)
            m_out << line << '\n';
        return ExitSuccess;
    }

    // Saves a counter the last code or answer advanced; when that cannot be done the counter is
    // put back and the code must not be shown, or the next one would repeat it.
    bool keepCounter(COtpToken& token, std::int64_t counterBefore) {
        if (token.counter == counterBefore)
            return true;
        if (!mayWrite()) {
            token.counter = counterBefore;
            return false;
        }
        const SaveResult saved = m_store.save();
        if (saved)
            return true;
        token.counter = counterBefore;
        failSave(saved, "the counter stays and no code is shown");
        return false;
    }

    void printCodes(const COtpToken& token, const OtpPair& pair) {
        m_out << utf8(pair.first) << '\n';
        if (token.dualDisplay && !pair.second.empty())
            m_out << utf8(pair.second) << '\n';
    }

    int code() {
        if (!open())
            return ExitFailure;
        const std::shared_ptr<COtpToken> token = findToken();
        if (!token)
            return ExitFailure;
        if (token->traits().factor == TokenKindTraits::Factor::None)
            return fail("'" + utf8(token->displayName()) + "' answers challenges only: use 'respond'");
        // Refused before the code is made: a window that holds the database would save over it.
        if (token->traits().factor != TokenKindTraits::Factor::Time && !mayWrite())
            return ExitFailure;
        const std::int64_t counterBefore = token->counter;
        const OtpPair pair = m_arguments.at ? token->computeOtpAtTime(*m_arguments.at) : token->computeOtp();
        if (!keepCounter(*token, counterBefore))
            return ExitFailure;
        if (pair.empty())
            return fail("'" + utf8(token->displayName()) + "' gives no code: its time step is 0");
        printCodes(*token, pair);
        return ExitSuccess;
    }

    int respond() {
        if (!open())
            return ExitFailure;
        const std::shared_ptr<COtpToken> token = findToken();
        if (!token)
            return ExitFailure;
        // An answer that moves no counter saves nothing: the lock is not kept while the token's
        // PIN is typed, so the window can start meanwhile.
        if (!(token->traits().ocra && token->traits().factor == TokenKindTraits::Factor::Counter))
            m_lock.reset();
        std::u16string tokenPin;
        if (token->traits().ocra && ocraSuiteTakesPin(platform::toAnsi(token->ocraSuite))) {
            std::optional<std::u16string> pin = m_pins.read("Token PIN: ");
            if (!pin)
                return fail("this token's answers need its PIN, after the database PIN");
            tokenPin = std::move(*pin);
        }
        const std::int64_t counterBefore = token->counter;
        const OtpPair pair = token->respond(platform::utf8ToUtf16(m_arguments.challenge), tokenPin);
        wipe(tokenPin);
        if (!keepCounter(*token, counterBefore))
            return ExitFailure;
        if (pair.empty())
            return fail("'" + utf8(token->displayName()) + "' cannot answer '" + m_arguments.challenge +
                        "' (its suite: " + utf8(token->ocraSuite) + ")");
        printCodes(*token, pair);
        return ExitSuccess;
    }

    int exportUri() {
        if (!open())
            return ExitFailure;
        const std::shared_ptr<COtpToken> token = findToken();
        if (!token)
            return ExitFailure;
        const std::string uri = makeOtpAuthUri(*token);
        if (uri.empty())
            return fail("'" + utf8(token->displayName()) + "' has no otpauth:// form (a " +
                        std::string(kindName(token->kind)) + " token)");
        m_out << uri << '\n';
        if (m_arguments.qrOutput.empty())
            return ExitSuccess;
        const QImage picture = encodeQrCode(uri, QrModulePixels);
        if (picture.isNull())
            return fail(qrModuleProblem().isEmpty() ? "the URI is too long for a QR code"
                                                    : "QR codes cannot be written: " + qrModuleProblem().toStdString());
        if (!picture.save(QFile::decodeName(m_arguments.qrOutput.c_str()), "PNG"))
            return fail("could not write " + m_arguments.qrOutput);
        return ExitSuccess;
    }

    const Arguments& m_arguments;
    CPinReader& m_pins;
    std::ostream& m_out;
    std::ostream& m_err;
    CValdorixTokenDB m_store;
    const std::string m_path;
    std::optional<platform::DatabaseLock> m_lock;
};

} // namespace

int runCommand(const Arguments& arguments, CPinReader& pins, std::ostream& out, std::ostream& err) {
    return CCommandRunner(arguments, pins, out, err).run();
}

} // namespace cli
