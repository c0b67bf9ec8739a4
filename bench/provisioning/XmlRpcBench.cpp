// Reading server replies, against Python's xmlrpc.client.loads on the same bytes in the same run.
// Build with `make bench` (or the bench_xmlrpc target) and run build/bench/provisioning/bench_xmlrpc;
// it calls bench/provisioning/xmlrpc_loads.py through python3 before its own benchmarks.
// The counter x_python is how many times faster than Python's best time the parse is. pugixml
// building its DOM and expat tokenising without handlers are the native anchors, same bytes, same
// run. The adversarial shapes carry complexity fits over their size in bytes.
#include "provisioning/XmlRpcUtil.h"
#include "provisioning/XmlRpcValue.h"

#include <benchmark/benchmark.h>
#if VALDORIX_HAVE_XML_ANCHORS
#include <expat.h>
#include <pugixml.hpp>
#endif
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace XmlRpc;
namespace fs = std::filesystem;

namespace {

// Base64 in lines of 76 characters, as Python's server side writes it.
std::string base64Lines(const BinaryData& data) {
    const std::string flat = base64Encode(data);
    std::string lines;
    for (std::size_t i = 0; i < flat.size(); i += 76)
        lines += flat.substr(i, 76) + "\n";
    return lines;
}

std::string member(const std::string& name, const std::string& value) {
    return "<member>\n<name>" + name + "</name>\n" + value + "\n</member>\n";
}

std::string stringValue(const std::string& text) {
    return "<value><string>" + text + "</string></value>";
}

std::string response(const std::string& value) {
    return "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n" + value +
           "\n</param>\n</params>\n</methodResponse>\n";
}

// A download reply: the status and a struct with the 200-byte enciphered secret and three strings,
// laid out as xmlrpc.client.dumps lays it out.
std::string downloadReply() {
    BinaryData secret(200);
    for (std::size_t i = 0; i < secret.size(); ++i)
        secret[i] = static_cast<unsigned char>(i * 131 + 7);
    return response("<value><array><data>\n" + stringValue("OK") + "\n<value><struct>\n" +
                    member("secret", "<value><base64>\n" + base64Lines(secret) + "</base64></value>") +
                    member("identifier", stringValue("QZ0001234")) + member("status", stringValue("new")) +
                    member("ac", stringValue("7391")) + "</struct></value>\n</data></array></value>");
}

// About 1 MiB: an array of small structs.
std::string largeReply() {
    std::string items;
    for (int i = 0; items.size() < (1u << 20) - 400; ++i) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "QZ%08d", i);
        items += "<value><struct>\n" + member("serial", stringValue(serial)) +
                 member("name", stringValue("Token &amp; " + std::to_string(i))) +
                 member("counter", "<value><int>" + std::to_string(i * 37) + "</int></value>") +
                 member("enabled", "<value><boolean>" + std::to_string(i % 2) + "</boolean></value>") +
                 "</struct></value>\n";
    }
    return response("<value><array><data>\n" + items + "</data></array></value>");
}

const std::string& reply(const std::string& name) {
    static const std::map<std::string, std::string> replies = {{"download", downloadReply()},
                                                               {"large", largeReply()}};
    return replies.at(name);
}

// Seconds per call from the Python script, keyed "<reply> <loads|expat>"; the best of its repeats.
std::map<std::string, double> pythonTimes;

void measurePython() {
    const fs::path folder = fs::temp_directory_path() / ("valdorix-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::string command = "python3 '" XMLRPC_PYTHON_TIMER "'";
    for (const char* name : {"download", "large"}) {
        std::ofstream(folder / name, std::ios::binary) << reply(name);
        command += " '" + (folder / name).string() + "'";
    }
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe) {
        char line[1024];
        while (std::fgets(line, sizeof line, pipe)) {
            std::istringstream fields(line);
            std::string path, measure;
            double best = 0, median = 0;
            if (fields >> path >> measure >> best >> median) {
                const std::string key = fs::path(path).filename().string() + " " + measure;
                pythonTimes[key] = best;
                std::printf("python %-14s %10.2f us per call (best of 7; median %.2f us)\n", key.c_str(),
                            best * 1e6, median * 1e6);
            }
        }
        ::pclose(pipe);
    }
    fs::remove_all(folder);
    if (pythonTimes.empty())
        std::printf("python3 not available: no comparison\n");
}

bool parseReply(const std::string& text, XmlRpcVariant& value) {
    std::size_t offset = 0;
    return seekPastTag("<methodResponse>", text, offset) && consumeTag("<params>", text, offset) &&
           consumeTag("<param>", text, offset) && value.readXml(text, offset);
}

void readReply(benchmark::State& state, const char* name) {
    const std::string& text = reply(name);
    for (auto _ : state) {
        XmlRpcVariant value;
        if (!parseReply(text, value))
            state.SkipWithError("the reply did not parse");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["reply_bytes"] = static_cast<double>(text.size());
    for (const char* measure : {"loads", "expat"}) {
        const auto found = pythonTimes.find(std::string(name) + " " + measure);
        // A rate counter divides by the elapsed time, so this shows Python's time over ours.
        if (found != pythonTimes.end())
            state.counters[std::string("x_python_") + measure] = benchmark::Counter(
                found->second * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    }
}

void BM_ReadDownloadReply(benchmark::State& state) {
    readReply(state, "download");
}
BENCHMARK(BM_ReadDownloadReply)->UseRealTime();

void BM_ReadLargeReply(benchmark::State& state) {
    readReply(state, "large");
}
BENCHMARK(BM_ReadLargeReply)->UseRealTime()->Unit(benchmark::kMillisecond);

#if VALDORIX_HAVE_XML_ANCHORS
void pugixmlDom(benchmark::State& state, const char* name) {
    const std::string& text = reply(name);
    for (auto _ : state) {
        pugi::xml_document document;
        if (!document.load_buffer(text.data(), text.size()))
            state.SkipWithError("pugixml did not parse the reply");
        benchmark::DoNotOptimize(document.first_child());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void expatTokens(benchmark::State& state, const char* name) {
    const std::string& text = reply(name);
    XML_Parser parser = XML_ParserCreate(nullptr);
    for (auto _ : state) {
        XML_ParserReset(parser, nullptr);
        if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), XML_TRUE) != XML_STATUS_OK)
            state.SkipWithError("expat did not parse the reply");
    }
    XML_ParserFree(parser);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_PugixmlDownloadReply(benchmark::State& state) {
    pugixmlDom(state, "download");
}
BENCHMARK(BM_PugixmlDownloadReply)->UseRealTime();

void BM_ExpatDownloadReply(benchmark::State& state) {
    expatTokens(state, "download");
}
BENCHMARK(BM_ExpatDownloadReply)->UseRealTime();

void BM_PugixmlLargeReply(benchmark::State& state) {
    pugixmlDom(state, "large");
}
BENCHMARK(BM_PugixmlLargeReply)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ExpatLargeReply(benchmark::State& state) {
    expatTokens(state, "large");
}
BENCHMARK(BM_ExpatLargeReply)->UseRealTime()->Unit(benchmark::kMillisecond);

#endif

// Replies of n parts, well formed or hostile, for the complexity fits.
std::string wellFormed(std::size_t n) {
    std::string items;
    for (std::size_t i = 0; i < n; ++i)
        items += "<value><struct>\n" + member("serial", stringValue("QZ" + std::to_string(i))) +
                 member("counter", "<value><int>" + std::to_string(i) + "</int></value>") + "</struct></value>\n";
    return "<value><array><data>\n" + items + "</data></array></value>";
}

// Nameless members, one unclosed <name> at the end: every member looks ahead to it.
std::string missingNames(std::size_t n) {
    std::string text = "<value><struct>";
    for (std::size_t i = 0; i < n; ++i)
        text += "<member><value><i4>" + std::to_string(i) + "</i4></value></member>";
    return text + "<member><value>last</value><name>z</member></struct></value>";
}

// Values without </value>, in an array and as struct members.
std::string missingValueEnds(std::size_t n) {
    std::string text = "<value><array><data><value><struct>";
    for (std::size_t i = 0; i < n; ++i)
        text += "<member><name>m" + std::to_string(i) + "</name><value><i4>" + std::to_string(i);
    text += "</struct><value><array><data>";
    for (std::size_t i = 0; i < n; ++i)
        text += "<value><double>" + std::to_string(i) + ".5";
    return text;
}

// Tags that never close: a type tag without ">", and text without "<".
std::string unclosedTags(std::size_t n) {
    std::string text = "<value><array><data>";
    for (std::size_t i = 0; i < n; ++i)
        text += "<value><struct><member><name>m</name><value>text</value></member></struct></value>";
    return text + "<value><struct><member><name>m</name><value><string " + std::string(16 * n, 'x');
}

// Arrays nested to the limit around a failing element padded with whitespace, which every
// enclosing array meets again.
std::string deepNesting(std::size_t n) {
    std::string text;
    for (int i = 0; i < XmlRpcVariant::kMaxNesting; ++i)
        text += "<value><array><data>";
    return text + "<value><" + std::string(256 * n, ' ');
}

void readShape(benchmark::State& state, std::string (*make)(std::size_t)) {
    const std::string text = make(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        XmlRpcVariant value;
        std::size_t offset = 0;
        benchmark::DoNotOptimize(value.readXml(text, offset));
        benchmark::DoNotOptimize(value);
    }
    state.SetComplexityN(static_cast<std::int64_t>(text.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

#define SHAPE_BENCHMARK(shape)                                                                               \
    BENCHMARK_CAPTURE(readShape, shape, shape)                                                               \
        ->RangeMultiplier(4)                                                                                 \
        ->Range(1 << 10, 1 << 16)                                                                            \
        ->Unit(benchmark::kMillisecond)                                                                      \
        ->Complexity()
SHAPE_BENCHMARK(wellFormed);
SHAPE_BENCHMARK(missingNames);
SHAPE_BENCHMARK(missingValueEnds);
SHAPE_BENCHMARK(unclosedTags);
SHAPE_BENCHMARK(deepNesting);

void BM_WriteLargeReply(benchmark::State& state) {
    XmlRpcVariant value;
    parseReply(reply("large"), value);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string xml = value.writeXml();
        bytes = xml.size();
        benchmark::DoNotOptimize(xml.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
}
BENCHMARK(BM_WriteLargeReply)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_Base64Decode(benchmark::State& state) {
    BinaryData data(1 << 20);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 2654435761u >> 13);
    const std::string text = base64Lines(data);
    for (auto _ : state)
        benchmark::DoNotOptimize(base64Decode(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Base64Decode)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::printf("download reply %zu bytes, large reply %zu bytes\n", reply("download").size(),
                reply("large").size());
    measurePython();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
