// Times a full list refresh (count, read every record, LastOpenTime save), an
// append-save, and the list's operations each followed by its refresh, on a
// 10,000-record configuration file, each as a ratio against a bare libxml2
// parse and save of the same file in the same run.
//   bench_store [rounds]     (default 9)
#include "base/MessageSink.h"
#include "store/ConfigList.h"
#include "store/ConfigSave.h"
#include "store/SystemClock.h"
#include "store/XmlDocument.h"
#include "store/XmlError.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace tarnwick;
namespace fs = std::filesystem;

namespace
{

class QuietSink : public MessageSink
{
public:
    void show(Kind, const std::string& text, const std::string&) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    }
};

constexpr int kRecords = 10000;

void writeConfig(const fs::path& path)
{
    static const char* names[] = { "NAME", "IP1", "IP2", "IP3", "MASK1", "MASK2", "MASK3", "GATE1", "GATE2",
        "DNS1", "DNS2", "DNS3", "DNS4", "AGENTIP", "AGENTPORT", "USEIP", "USEDNS", "USEAGENT", "SETAGENT" };
    std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<ConfigBox LastID=\""
        + std::to_string(kRecords) + "\" LastOpenTime=\"2026-01-01 00:00:00\">\n";
    for (int i = 1; i <= kRecords; ++i) {
        const std::string n = std::to_string(i);
        xml += "  <Record ID=\"" + n + "\">\n";
        for (const char* name : names) {
            std::string value;
            if (std::string_view(name) == "NAME")
                value = "\xB0\xEC\xB9\xAB\xCA\xD2 " + n; // "办公室 n" in GB2312
            else if (std::string_view(name).starts_with("USE") || std::string_view(name) == "SETAGENT")
                value = (i % 2) ? "1" : "0";
            else if (std::string_view(name) == "AGENTPORT")
                value = "8080";
            else
                value = "10." + std::to_string(i % 250) + "." + std::to_string(i / 250) + ".1";
            xml += std::string("    <") + name + ">" + value + "</" + name + ">\n";
        }
        xml += "  </Record>\n";
    }
    xml += "</ConfigBox>\n";
    std::ofstream(path, std::ios::binary) << xml;
}

double timeMs(const std::function<void()>& f)
{
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const fs::path dir = fs::temp_directory_path() / ("tarnwick-bench-store-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path config = dir / "config.xml";
    const fs::path bare = dir / "bare.xml";
    writeConfig(config);
    std::printf(
        "store bench: %d records, %.1f MB\n", kRecords, static_cast<double>(fs::file_size(config)) / 1e6);

    QuietSink sink;
    const SystemClock clock;
    TcpIpConfig fields;
    fields.ip[0] = "192.168.1.20";
    fields.fixedIp = true;

    // The lower bound: libxml2 alone parsing the file and writing it back.
    const auto bareParseSave = [&] {
        xmlDoc* doc = xmlReadFile(config.c_str(), nullptr, XML_PARSE_NOBLANKS);
        xmlSaveFormatFileEnc(bare.c_str(), doc, "GB2312", 1);
        xmlFreeDoc(doc);
    };
    const auto refresh = [&] {
        if (!refreshConfigTable(config.string(), sink, clock))
            std::exit(1);
    };
    const auto append = [&] {
        if (saveConfig(config.string(), fields, "bench", std::nullopt, {}, sink).result != EditResult::Done)
            std::exit(1);
    };

    bareParseSave(); // warm the caches
    refresh();
    // Each run times the lower bound right before the operation, so that the
    // load of a shared machine hits both alike; the ratios are per pair.
    std::vector<double> bareMs, refreshMs, appendMs, refreshRatio, appendRatio;
    for (int i = 0; i < runs; ++i) {
        const double b1 = timeMs(bareParseSave);
        const double r = timeMs(refresh);
        const double b2 = timeMs(bareParseSave);
        const double a = timeMs(append);
        bareMs.insert(bareMs.end(), { b1, b2 });
        refreshMs.push_back(r);
        appendMs.push_back(a);
        refreshRatio.push_back(r / b1);
        appendRatio.push_back(a / b2);
    }
    std::printf("bare libxml2 parse+save: %8.1f ms (median of %d)\n", median(bareMs), 2 * runs);
    std::printf("list refresh:            %8.1f ms  ratio %.2f (goal <= 1.5)\n", median(refreshMs),
        median(refreshRatio));
    std::printf("append-save:             %8.1f ms  ratio %.2f (goal <= 1.5)\n", median(appendMs),
        median(appendRatio));

    // The list's operations as the window runs them: the change and the
    // refresh that follows it in one load and one save (a rename has no
    // refresh; the window's list keeps the old table until the next one).
    std::optional<ConfigTable> table = refreshConfigTable(config.string(), sink, clock);
    std::optional<ConfigTable> refreshed;
    const ThenRefresh then { clock, refreshed };
    const std::size_t middle = kRecords / 2;
    const auto done = [](EditResult r) {
        if (r != EditResult::Done)
            std::exit(1);
    };
    const struct {
        const char* name;
        std::function<void()> change;
    } operations[] = {
        { "delete + refresh", [&] { done(deleteConfig(config.string(), *table, middle, sink, &then)); } },
        { "move + refresh",
            [&] { done(moveConfig(config.string(), *table, middle, MoveDirection::Down, sink, &then)); } },
        { "rename", [&] { done(renameConfig(config.string(), *table, middle, "改名", sink)); } },
        { "save + refresh",
            [&] {
                done(saveConfig(config.string(), fields, "bench", std::nullopt, *table, sink, &then).result);
            } },
    };
    for (const auto& op : operations) {
        std::vector<double> opMs, ratio;
        for (int i = 0; i < runs; ++i) {
            const double b = timeMs(bareParseSave);
            refreshed.reset();
            const double t = timeMs(op.change);
            if (refreshed)
                table = refreshed;
            opMs.push_back(t);
            ratio.push_back(t / b);
        }
        std::printf("%-24s %8.1f ms  ratio %.2f (goal <= 1.5)\n", (std::string(op.name) + ":").c_str(),
            median(opMs), median(ratio));
    }

    // Files whose reading would cost far more than their size: how long the
    // loader takes to refuse each (against the 10,000-record file's parse).
    const std::string decl = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n";
    const struct {
        const char* name;
        std::function<void(const fs::path&)> make;
    } hostile[] = {
        { "entity used 20,000 times",
            [&](const fs::path& p) {
                std::ofstream out(p, std::ios::binary);
                out << decl << "<!DOCTYPE ConfigBox [<!ENTITY e \"" << std::string(50000, 'x')
                    << "\">]><ConfigBox LastID=\"1\"><Record ID=\"1\"><NAME>";
                for (int i = 0; i < 20000; ++i)
                    out << "&e;";
                out << "</NAME></Record></ConfigBox>\n";
            } },
        { "200,000 attributes",
            [&](const fs::path& p) {
                std::ofstream out(p, std::ios::binary);
                out << decl << "<ConfigBox LastID=\"1\"";
                for (int i = 0; i < 200000; ++i)
                    out << " a" << i << "=\"1\"";
                out << "/>\n";
            } },
        { "3 GB sparse file",
            [&](const fs::path& p) {
                std::ofstream(p, std::ios::binary) << decl;
                fs::resize_file(p, 3ull * 1024 * 1024 * 1024);
            } },
    };
    std::printf("hostile files, time to refuse:\n");
    for (const auto& h : hostile) {
        const fs::path file = dir / "hostile.xml";
        h.make(file);
        const double took = timeMs([&] {
            XmlDocument doc;
            try {
                doc.load(file);
                std::printf("  %-26s loaded (not refused)\n", h.name);
            } catch (const XmlError&) {
            }
        });
        std::printf(
            "  %-26s %8.2f ms (%.3f of the 10,000-record parse)\n", h.name, took, took / median(bareMs));
        fs::remove(file);
    }
    if (!std::getenv("KEEP"))
        fs::remove_all(dir);
    else
        std::printf("kept %s\n", dir.c_str());
    return 0;
}
