// A stand-in for pppd (this machine's kernel has no PPP driver): reads its
// options as pppd does (`file PATH` or `call NAME`, `updetach`, `linkname`),
// the user from the options file and the password from pap-secrets, prints
// pppd's progress messages and exits with pppd's exit statuses. A line
// "# stand-in: no-driver" in the options file makes it fail as pppd does
// without the driver, and "# stand-in: plugin" as pppd does for a user who
// may not load the options' plugin. A right password ("right") connects: it detaches,
// writes the linkname pid file with the interface and runs until SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string unquoted(std::string word)
{
    if (word.size() >= 2 && word.front() == '"' && word.back() == '"')
        word = word.substr(1, word.size() - 2);
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '\\' && i + 1 < word.size())
            ++i;
        out += word[i];
    }
    return out;
}

volatile sig_atomic_t stop = 0;

} // namespace

int main(int argc, char** argv)
{
    std::string options, link;
    bool updetach = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "file" && i + 1 < argc)
            options = argv[++i];
        else if (a == "call" && i + 1 < argc)
            options = std::string("/etc/ppp/peers/") + argv[++i];
        else if (a == "linkname" && i + 1 < argc)
            link = argv[++i];
        else if (a == "updetach")
            updetach = true;
        else {
            std::printf("unrecognized option '%s'\n", a.c_str());
            return 2;
        }
    }
    const std::string text = readFile(options);
    if (text.empty()) {
        std::printf("Can't open options file %s\n", options.c_str());
        return 1;
    }
    if (text.find("# stand-in: no-driver") != std::string::npos) {
        std::printf("Couldn't open the /dev/ppp device: No such file or directory\n");
        return 4;
    }
    if (text.find("# stand-in: plugin") != std::string::npos) {
        std::printf("pppd: using the plugin option requires root privilege\n");
        return 2;
    }
    std::string user;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("user ", 0) == 0)
            user = unquoted(line.substr(5));
    }
    std::string password;
    const char* secretsDir = std::getenv("TARNWICK_PPP_SECRETS");
    std::istringstream secrets(readFile(std::string(secretsDir ? secretsDir : "/etc/ppp") + "/pap-secrets"));
    for (std::string line; std::getline(secrets, line);) {
        std::istringstream words(line);
        std::string client, server, secret;
        words >> client >> server >> secret;
        if (unquoted(client) == user)
            password = unquoted(secret);
    }
    std::printf("Using interface ppp0\nConnect: ppp0 <--> eth0\n");
    std::fflush(stdout);
    if (password != "right") {
        std::printf("PAP authentication failed\n");
        return 19;
    }
    std::printf(
        "PAP authentication succeeded\nlocal  IP address 10.64.64.64\nremote IP address 10.64.64.1\n");
    std::fflush(stdout);
    if (!updetach)
        return 0;
    const char* runDir = std::getenv("TARNWICK_PPP_RUN");
    const std::string pidFile = std::string(runDir ? runDir : "/run") + "/ppp-" + link + ".pid";
    if (const pid_t daemon = fork(); daemon != 0) {
        // The parent ends once the link is up and its pid file complete, as
        // pppd's does: whoever waited for it finds the connection whole.
        std::ofstream(pidFile + ".new") << daemon << "\nppp0\n";
        return std::rename((pidFile + ".new").c_str(), pidFile.c_str()) == 0 ? 0 : 1;
    }
    setsid();
    const int null = open("/dev/null", O_RDWR);
    dup2(null, 0);
    dup2(null, 1);
    dup2(null, 2);
    signal(SIGTERM, [](int) { stop = 1; });
    while (!stop)
        pause();
    unlink(pidFile.c_str());
    return 5;
}
