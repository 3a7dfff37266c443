#include "adapters/StatusReadout.h"
#include "cli/AdapterOption.h"
#include "cli/Verbs.h"

#include <optional>
#include <ostream>

namespace tarnwick::cli
{

namespace
{

// Keeps one value per line: the hint's CR line breaks print as "\r".
std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

} // namespace

// `tarnwick status [--adapter N]`: one full refresh of the adapter the
// window would select (or adapter N), printed as key=value lines.
int runStatus(const std::vector<std::string>& args, Io io)
{
    std::optional<int> adapter;
    if (!parseAdapterOption(args, adapter)) {
        io.err << "usage: tarnwick status [--adapter N]\n";
        return kUsageExit;
    }
    const StatusReadout r = readStatusOnce(adapter);
    if (adapter && (*adapter < 0 || *adapter >= r.table.count())) {
        io.err << "tarnwick: status: there is no adapter " << *adapter
               << " (adapters found: " << r.table.count() << "; see tarnwick adapters)\n";
        return 1;
    }
    TcpIpConfig shown;
    if (r.view.fields) {
        shown = *r.view.fields;
    } else if (r.view.placeholders) {
        shown.ip[0] = (*r.view.placeholders)[0];
        shown.mask[0] = (*r.view.placeholders)[1];
        shown.gateway[0] = (*r.view.placeholders)[2];
    }
    auto line = [&](const std::string& key, const std::string& value) {
        io.out << key << '=' << escaped(value) << '\n';
    };
    line("mode", r.values.mode);
    for (std::size_t i = 0; i < 3; ++i)
        line("ip" + std::to_string(i + 1), shown.ip[i]);
    for (std::size_t i = 0; i < 3; ++i)
        line("mask" + std::to_string(i + 1), shown.mask[i]);
    for (std::size_t i = 0; i < 2; ++i)
        line("gateway" + std::to_string(i + 1), shown.gateway[i]);
    for (std::size_t i = 0; i < 4; ++i)
        line("dns" + std::to_string(i + 1), shown.dns[i]);
    line("proxy_enabled", r.values.config.proxyOn ? "1" : "0");
    line("proxy_host", r.values.config.proxyHost);
    line("proxy_port", r.values.config.proxyPort);
    line("hint", r.view.hint.value_or(""));
    for (std::size_t i = 0; i < 5; ++i)
        line("panel" + std::to_string(i), r.view.panels[i]);
    return 0;
}

} // namespace tarnwick::cli
