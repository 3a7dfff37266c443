#include "dialup/linux/PppdFiles.h"

#include <algorithm>
#include <sstream>

namespace tarnwick::pppdfiles
{

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::string firstWord(const std::string& line)
{
    std::istringstream in(line);
    std::string word;
    in >> word;
    return word;
}

std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

bool holdsControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool readsPapSecrets(const std::string& options)
{
    return options.find("refuse-pap") == std::string::npos;
}

bool readsChapSecrets(const std::string& options)
{
    return options.find("refuse-chap") == std::string::npos;
}

std::string withUser(const std::string& options, const std::string& user)
{
    std::string updated;
    for (const std::string& line : lines(options)) {
        if (firstWord(line) != "user")
            updated += line + "\n";
    }
    return updated + "user " + quoted(user) + "\n";
}

std::string withSecret(const std::string& secrets, const std::string& entry, const std::string& user,
    const std::string& password)
{
    const std::string mark = "# tarnwick:" + entry;
    const std::string ours = quoted(user) + " * " + quoted(password) + " " + mark;
    std::string text;
    bool replaced = false;
    for (const std::string& line : lines(secrets)) {
        if (line.ends_with(" " + mark)) {
            if (!replaced)
                text += ours + "\n";
            replaced = true;
        } else {
            text += line + "\n";
        }
    }
    if (!replaced)
        text += ours + "\n";
    return text;
}

} // namespace tarnwick::pppdfiles
