// Token store: whole load and save, the archive alone beside Boost.Serialization writing and
// reading the same records, and CSV splitting beside Boost.Regex running the two patterns.
#include "platform/Folders.h"
#include "store/TokenList.h"
#include "store/CsvSplit.h"
#include "store/FileBytes.h"
#include "store/FileTokenDB.h"
#include "store/TokenArchive.h"
#include "store/ValdorixTokenDB.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <boost/archive/binary_iarchive.hpp>
#include <boost/archive/binary_oarchive.hpp>
#include <boost/regex.hpp>
#include <boost/serialization/array.hpp>
#include <boost/serialization/shared_ptr.hpp>
#include <boost/serialization/split_free.hpp>
#include <boost/serialization/vector.hpp>
#include <boost/serialization/version.hpp>
#include <cstdlib>
#include <malloc.h>
#include <optional>
#include <sys/resource.h>
#include <filesystem>
#include <streambuf>
#include <string>

namespace boost::serialization {

// The same fields in the same order; texts as a count and their UTF-16 code units.
template <class Archive>
void saveText(Archive& ar, const std::u16string& text) {
    const auto count = static_cast<std::uint32_t>(text.size());
    ar << count;
    ar << make_array(reinterpret_cast<const std::uint16_t*>(text.data()), text.size());
}

template <class Archive>
void loadText(Archive& ar, std::u16string& text) {
    std::uint32_t count = 0;
    ar >> count;
    text.resize(count);
    ar >> make_array(reinterpret_cast<std::uint16_t*>(text.data()), text.size());
}

template <class Archive>
void save(Archive& ar, const COtpToken& t, unsigned) {
    for (const std::u16string* text : {&t.label, &t.application, &t.appId, &t.serial, &t.tokenName,
                                       &t.userName, &t.appUrl, &t.serviceUrl, &t.iconFile})
        saveText(ar, *text);
    ar << t.secondaryKey << t.primaryKey << t.secondaryKeyLength << t.primaryKeyLength << t.expiryDate;
    const auto kind = static_cast<std::int32_t>(t.kind);
    ar << t.digits << t.provisioned << kind << t.syncCount << t.interval << t.counter << t.goDelay;
    ar << t.checksum << t.dualDisplay << t.spareFlag;
    saveText(ar, t.ocraSuite);
}

template <class Archive>
void load(Archive& ar, COtpToken& t, unsigned version) {
    for (std::u16string* text : {&t.label, &t.application, &t.appId, &t.serial, &t.tokenName, &t.userName,
                                 &t.appUrl, &t.serviceUrl, &t.iconFile})
        loadText(ar, *text);
    ar >> t.secondaryKey >> t.primaryKey >> t.secondaryKeyLength >> t.primaryKeyLength >> t.expiryDate;
    std::int32_t kind = 0;
    ar >> t.digits >> t.provisioned >> kind >> t.syncCount >> t.interval >> t.counter >> t.goDelay;
    t.kind = static_cast<TokenKind>(kind);
    ar >> t.checksum >> t.dualDisplay >> t.spareFlag;
    if (version >= 1)
        loadText(ar, t.ocraSuite);
}

} // namespace boost::serialization

BOOST_SERIALIZATION_SPLIT_FREE(COtpToken)
BOOST_CLASS_VERSION(COtpToken, 1)

namespace {

using TokenList = std::vector<std::shared_ptr<COtpToken>>;

// An in-memory stream buffer with a put area, reserved before writing, so Boost writes straight
// into memory as our archive writer does into its reused vector.
class MemoryBuffer : public std::streambuf {
public:
    std::vector<char> bytes;

    void startWriting(std::size_t reserve) {
        bytes.resize(std::max(reserve, bytes.size()));
        setp(bytes.data(), bytes.data() + bytes.size());
    }
    std::size_t written() const { return static_cast<std::size_t>(pptr() - pbase()); }
    void rewindForReading() { setg(bytes.data(), bytes.data(), bytes.data() + written()); }

protected:
    int_type overflow(int_type c) override {
        const std::size_t used = written();
        bytes.resize(std::max<std::size_t>(4096, 2 * bytes.size()));
        setp(bytes.data(), bytes.data() + bytes.size());
        pbump(static_cast<int>(used));
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
};

TokenList makeTokens(std::size_t count) {
    TokenList tokens;
    tokens.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        auto t = std::make_shared<COtpToken>();
        const std::u16string n = [&] {
            const std::string s = std::to_string(100000 + i);
            return std::u16string(s.begin(), s.end());
        }();
        t->label = u"Bank:" + n;
        t->application = u"Bank";
        t->appId = u"bank.example";
        t->serial = n;
        t->tokenName = u"Web";
        t->userName = u"alice";
        t->serviceUrl = u"https://otp.example/xmlrpc";
        for (std::size_t k = 0; k < 20; ++k)
            t->primaryKey[k] = t->secondaryKey[k] = static_cast<std::uint8_t>(i * 31 + k);
        t->primaryKeyLength = t->secondaryKeyLength = 20;
        t->counter = static_cast<std::int64_t>(i);
        t->ocraSuite = u"OCRA-1:HOTP-SHA1-6:C-QN08";
        tokens.push_back(std::move(t));
    }
    return tokens;
}

// The database sizes of the token benchmarks for the complexity fits: five, evenly spread on a
// log scale from 1,000 to 100,000.
void tokenCounts(benchmark::internal::Benchmark* b) {
    for (const int count : {1000, 3162, 10000, 31623, 100000})
        b->Arg(count);
}

// The minor page faults of the process so far: fresh pages the kernel mapped and zeroed, each
// costly on a virtual machine.
double minorFaults() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_minflt);
}

// The page faults of the timed loop, per iteration.
benchmark::Counter faultsPerIteration(double before) {
    return benchmark::Counter(minorFaults() - before, benchmark::Counter::kAvgIterations);
}

// Untimed: drops the list of the last read and hands the free memory back to the kernel, so each
// read starts as the first one of a process does. Whether glibc keeps a freed list for the next
// read depends on its size and on what the process freed before (it gives the top of its heap
// back beyond a threshold that moves), which made the largest size alone pay for fresh pages in
// some runs; here every size pays for them alike.
template <class List>
void dropAndHandBack(List& list) {
    list = List();
    ::malloc_trim(0);
}

// A product database in a private data folder, unlocked with a PIN.
class BenchDatabase {
public:
    explicit BenchDatabase(std::size_t count) {
        char pattern[] = "/tmp/valdorix-bench-XXXXXX";
        root_ = ::mkdtemp(pattern);
        ::setenv("XDG_DATA_HOME", root_.c_str(), 1);
        platform::setMachineIdForTesting("bench-machine");
        db.tokens = makeTokens(count);
        db.markUnlocked();
        if (!db.changePin(u"", u"1234"))
            std::abort();
    }
    ~BenchDatabase() { std::filesystem::remove_all(root_); }

    CValdorixTokenDB db;

private:
    std::string root_;
};

void BM_Save(benchmark::State& state) {
    BenchDatabase bench(static_cast<std::size_t>(state.range(0)));
    const double faults = minorFaults();
    for (auto _ : state) {
        if (!bench.db.save())
            state.SkipWithError("save failed");
    }
    state.counters["faults"] = faultsPerIteration(faults);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Save)->Apply(tokenCounts)->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity();

// The disk's part of a save: the same number of bytes written, flushed and renamed the same way,
// without building or enciphering an archive.
void BM_AtomicWriteOnly(benchmark::State& state) {
    BenchDatabase bench(static_cast<std::size_t>(state.range(0)));
    const std::string path = bench.db.databasePath("");
    const std::size_t size = std::filesystem::file_size(path);
    const std::vector<std::uint8_t> bytes(size, 0x5A);
    for (auto _ : state) {
        if (writeFileAtomically(path, bytes))
            state.SkipWithError("write failed");
    }
    state.counters["bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_AtomicWriteOnly)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A load that replaces the list of an earlier load, as a log-in after a lock may: the memory of
// the old list is there to be taken again. One untimed load first, so that every size is timed
// in that state (otherwise the first, cold load is the only one timed at the largest size).
void BM_Load(benchmark::State& state) {
    BenchDatabase bench(static_cast<std::size_t>(state.range(0)));
    if (!bench.db.load())
        state.SkipWithError("load failed");
    const double faults = minorFaults();
    for (auto _ : state) {
        if (!bench.db.load())
            state.SkipWithError("load failed");
    }
    state.counters["faults"] = faultsPerIteration(faults);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Load)->Apply(tokenCounts)->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity();

// The first log-in of a session: an empty list, and no free memory in the process, so the kernel
// maps and zeroes every page the tokens take. Between loads, untimed, the list is dropped and
// glibc hands its free memory back to the kernel.
void BM_LoadCold(benchmark::State& state) {
    BenchDatabase bench(static_cast<std::size_t>(state.range(0)));
    double faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        bench.db.tokens.clear();
        bench.db.tokens.shrink_to_fit();
        ::malloc_trim(0);
        const double before = minorFaults();
        state.ResumeTiming();
        if (!bench.db.load())
            state.SkipWithError("load failed");
        faults += minorFaults() - before;
    }
    state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadCold)->Apply(tokenCounts)->Unit(benchmark::kMillisecond)->UseRealTime()->Complexity();

// The archive and its anchors write into a buffer kept from one iteration to the next; one
// untimed round first makes every timed round alike (the first maps its memory fresh, which at
// the largest size would be half the time).
void BM_ArchiveWrite(benchmark::State& state) {
    const TokenList tokens = makeTokens(static_cast<std::size_t>(state.range(0)));
    std::vector<std::uint8_t> out;
    writeTokenArchive(out, DatabaseMarker, 0, tokens);
    for (auto _ : state) {
        out.clear();
        if (!writeTokenArchive(out, DatabaseMarker, 0, tokens))
            state.SkipWithError("write failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
    state.counters["bytes"] = static_cast<double>(out.size());
}
BENCHMARK(BM_ArchiveWrite)->Apply(tokenCounts)->Unit(benchmark::kMicrosecond)->Complexity();

void BM_ArchiveRead(benchmark::State& state) {
    std::vector<std::uint8_t> bytes;
    writeTokenArchive(bytes, DatabaseMarker, 0, makeTokens(static_cast<std::size_t>(state.range(0))));
    std::optional<TokenArchiveContents> contents;
    double faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dropAndHandBack(contents);
        const double before = minorFaults();
        state.ResumeTiming();
        contents = readTokenArchive(bytes, DatabaseMarker);
        faults += minorFaults() - before;
        if (!contents || contents->tokens.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("read failed");
    }
    state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ArchiveRead)->Apply(tokenCounts)->Unit(benchmark::kMicrosecond)->Complexity();

// The anchor: Boost.Serialization 1.74 writing and reading the same records.
void BM_BoostSerializationWrite(benchmark::State& state) {
    const TokenList tokens = makeTokens(static_cast<std::size_t>(state.range(0)));
    const std::u16string marker(DatabaseMarker);
    MemoryBuffer buffer;
    // Room for the whole archive from the start: 600 bytes a token is more than it takes.
    const std::size_t reserve = 600 * static_cast<std::size_t>(state.range(0)) + 4096;
    buffer.startWriting(reserve);
    {
        boost::archive::binary_oarchive archive(buffer);
        boost::serialization::saveText(archive, marker);
        archive << std::int32_t{0} << tokens;
    }
    for (auto _ : state) {
        buffer.startWriting(reserve);
        boost::archive::binary_oarchive archive(buffer);
        std::int32_t defaultIndex = 0;
        boost::serialization::saveText(archive, marker);
        archive << defaultIndex << tokens;
        benchmark::DoNotOptimize(buffer.bytes.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
    state.counters["bytes"] = static_cast<double>(buffer.written());
}
BENCHMARK(BM_BoostSerializationWrite)->Apply(tokenCounts)->Unit(benchmark::kMicrosecond)->Complexity();

void BM_BoostSerializationRead(benchmark::State& state) {
    MemoryBuffer buffer;
    buffer.startWriting(0);
    {
        const TokenList tokens = makeTokens(static_cast<std::size_t>(state.range(0)));
        boost::archive::binary_oarchive archive(buffer);
        std::int32_t defaultIndex = 0;
        boost::serialization::saveText(archive, std::u16string(DatabaseMarker));
        archive << defaultIndex << tokens;
    }
    TokenList tokens;
    double faults = 0;
    for (auto _ : state) {
        state.PauseTiming();
        dropAndHandBack(tokens);
        const double before = minorFaults();
        state.ResumeTiming();
        std::u16string marker;
        {
            buffer.rewindForReading();
            boost::archive::binary_iarchive archive(buffer);
            std::int32_t defaultIndex = 0;
            boost::serialization::loadText(archive, marker);
            archive >> defaultIndex >> tokens;
        }
        faults += minorFaults() - before;
        if (marker != DatabaseMarker || tokens.size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("read failed");
    }
    state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BoostSerializationRead)->Apply(tokenCounts)->Unit(benchmark::kMicrosecond)->Complexity();

// `count` CSV lines: valid seeds, a quoted name now and then, CR LF breaks.
std::string csvLines(std::size_t count) {
    static const char* const Rows[] = {
        "1001,070000012345678906,Mail",
        "1002,050000012345678908,\"Bank, Web\"",
        "1003,030000012345678900,VPN gateway",
        "serial,seed,name,extra",
    };
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += std::string(Rows[i % 4]) + "\r\n";
    return text;
}

void BM_ImportCsv(benchmark::State& state) {
    const std::string text = csvLines(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        CTokenList db;
        db.tokens.reserve(static_cast<std::size_t>(state.range(0)));
        if (!db.importCsvData(text))
            state.SkipWithError("no token");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ImportCsv)->Arg(1000)->Arg(4000)->Arg(16000)->Arg(64000)->Unit(benchmark::kMillisecond)->Complexity();

std::u16string utf16(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// The splitting's sizes, evenly spread on a log scale up to a million lines.
void csvLineCounts(benchmark::internal::Benchmark* b) {
    for (const int count : {1000, 10000, 100000, 1000000})
        b->Arg(count);
}

void BM_CsvSplit(benchmark::State& state) {
    const std::u16string text = utf16(csvLines(static_cast<std::size_t>(state.range(0))));
    std::vector<std::u16string_view> fields;
    for (auto _ : state) {
        std::size_t threeFieldLines = 0;
        CsvReader reader(text);
        for (std::u16string_view line; reader.next(line, fields);)
            threeFieldLines += fields.size() == 3;
        benchmark::DoNotOptimize(threeFieldLines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CsvSplit)->Apply(csvLineCounts)->Unit(benchmark::kMicrosecond)->Complexity();

// The anchor: the plain quote-aware loop, one pass, a comma outside quotes separates, CR, LF or
// CR LF ends the line. (It reads a line with an odd quote differently; on these lines both agree.)
void BM_PlainSplitLoop(benchmark::State& state) {
    const std::u16string text = utf16(csvLines(static_cast<std::size_t>(state.range(0))));
    std::vector<std::u16string_view> fields;
    for (auto _ : state) {
        std::size_t threeFieldLines = 0;
        const std::u16string_view view = text;
        std::size_t start = 0;
        bool quoted = false;
        fields.clear();
        for (std::size_t i = 0; i < view.size(); ++i) {
            const char16_t c = view[i];
            if (c == u'"') {
                quoted = !quoted;
            } else if (c == u',' && !quoted) {
                fields.push_back(view.substr(start, i - start));
                start = i + 1;
            } else if (c == u'\r' || c == u'\n') {
                fields.push_back(view.substr(start, i - start));
                threeFieldLines += fields.size() == 3;
                fields.clear();
                quoted = false;
                if (c == u'\r' && i + 1 < view.size() && view[i + 1] == u'\n')
                    ++i;
                start = i + 1;
            }
        }
        benchmark::DoNotOptimize(threeFieldLines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_PlainSplitLoop)->Apply(csvLineCounts)->Unit(benchmark::kMicrosecond)->Complexity();

const boost::wregex& linePattern() {
    static const boost::wregex pattern(L"\\r\\n|\\n\\r|\\n|\\r");
    return pattern;
}
const boost::wregex& fieldPattern() {
    static const boost::wregex pattern(L",(?=(?:[^\"]*\"[^\"]*\")*(?![^\"]*\"))");
    return pattern;
}

// The same splitting with the two patterns: token iterators over lines, then over fields.
void BM_BoostRegexSplit(benchmark::State& state) {
    const std::string ascii = csvLines(static_cast<std::size_t>(state.range(0)));
    const std::wstring text(ascii.begin(), ascii.end());
    for (auto _ : state) {
        std::size_t threeFieldLines = 0;
        for (boost::wsregex_token_iterator line(text.begin(), text.end(), linePattern(), -1), end;
             line != end; ++line) {
            const std::wstring content = line->str();
            std::size_t fields = 0;
            for (boost::wsregex_token_iterator f(content.begin(), content.end(), fieldPattern(), -1);
                 f != end; ++f)
                ++fields;
            threeFieldLines += fields == 3;
        }
        benchmark::DoNotOptimize(threeFieldLines);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BoostRegexSplit)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One long line of `length` characters with one comma per 10.49 characters (100,000 commas in
// 1 MiB); every 16th field is quoted around a comma, which then does not separate.
std::u16string longLine(std::size_t length) {
    const std::size_t commas = length * 100000 / (1 << 20);
    std::u16string line;
    line.reserve(length);
    for (std::size_t field = 0, written = 0; written < commas; ++field) {
        if (field % 16 == 0 && written + 2 <= commas) {
            line += u"a\"b,c\"de,";
            written += 2;
        } else {
            line += u"abcdefghi,";
            written += 1;
        }
    }
    line.resize(length, u'x');
    return line;
}

void BM_CsvSplitLongLine(benchmark::State& state) {
    const std::u16string line = longLine(static_cast<std::size_t>(state.range(0)));
    std::vector<std::u16string_view> fields;
    for (auto _ : state) {
        splitCsvFields(line, fields);
        benchmark::DoNotOptimize(fields.data());
    }
    state.counters["fields"] = static_cast<double>(fields.size());
    state.counters["commas"] = static_cast<double>(std::count(line.begin(), line.end(), u','));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CsvSplitLongLine)
    ->RangeMultiplier(4)
    ->Range(1 << 16, 1 << 22)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

void BM_BoostRegexLongLine(benchmark::State& state) {
    const std::u16string line16 = longLine(static_cast<std::size_t>(state.range(0)));
    const std::wstring line(line16.begin(), line16.end());
    for (auto _ : state) {
        std::size_t separators = 0;
        try {
            for (boost::wsregex_iterator it(line.begin(), line.end(), fieldPattern()), end; it != end; ++it)
                ++separators;
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
        benchmark::DoNotOptimize(separators);
    }
    state.SetComplexityN(state.range(0));
}
// Four sizes a factor of two apart: the pattern's cost grows too fast for wider spacing (a
// 64 KiB line already takes seconds).
BENCHMARK(BM_BoostRegexLongLine)
    ->RangeMultiplier(2)
    ->Range(1 << 11, 1 << 14)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
