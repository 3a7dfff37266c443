// Stands in for resolvectl, which needs a running systemd-resolved, and for
// resolvconf: appends its arguments as one line to $FAKE_RESOLVECTL_LOG, then
// what its standard input held, and exits with $FAKE_RESOLVECTL_EXIT (0 when
// unset).
#include <cstdlib>
#include <fstream>
#include <iostream>

int main(int argc, char** argv)
{
    const char* log = std::getenv("FAKE_RESOLVECTL_LOG");
    if (!log)
        return 2;
    std::ofstream out(log, std::ios::app);
    for (int i = 1; i < argc; ++i)
        out << (i > 1 ? " " : "") << argv[i];
    out << '\n' << std::cin.rdbuf();
    const char* code = std::getenv("FAKE_RESOLVECTL_EXIT");
    return code ? std::atoi(code) : 0;
}
