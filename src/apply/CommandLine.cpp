#include "apply/CommandLine.h"

namespace tarnwick
{

namespace
{

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> splitCommandLine(std::string_view line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();

    while (i < n && isBlank(line[i]))
        ++i;
    if (i == n)
        return args;

    // The program name: no escapes, quotes only group.
    std::string program;
    bool quoted = false;
    for (; i < n; ++i) {
        const char c = line[i];
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (!quoted && isBlank(c))
            break;
        program += c;
    }
    args.push_back(std::move(program));

    for (;;) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i == n)
            break;
        std::string arg;
        quoted = false;
        while (i < n) {
            const char c = line[i];
            if (c == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // An even count leaves the quote to the code below.
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (c == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (!quoted && isBlank(c))
                break;
            arg += c;
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

} // namespace tarnwick
