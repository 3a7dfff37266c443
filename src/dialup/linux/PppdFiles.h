#pragma once

#include <string>
#include <vector>

// The rewrites of pppd's peer and secrets files: text in, text out, so that
// the back end only reads and writes whole files.
namespace tarnwick::pppdfiles
{

// The lines of a text, without their line ends.
std::vector<std::string> lines(const std::string& text);

// The first blank-separated word of a line; empty for a blank line.
std::string firstWord(const std::string& line);

// A word of pppd's option and secrets files, quoted.
std::string quoted(const std::string& text);

// True when a text could break out of its line or word (below 0x20).
bool holdsControlCharacter(const std::string& text);

// Which secrets its authentication reads: both, unless the peer refuses one.
bool readsPapSecrets(const std::string& options);
bool readsChapSecrets(const std::string& options);

// The peer's options with its user lines gone and `user`'s line last.
std::string withUser(const std::string& options, const std::string& user);

// The secrets file with the entry's own line (marked, found again by its
// mark) in place of its earlier ones, or added last; every other line kept.
std::string withSecret(const std::string& secrets, const std::string& entry, const std::string& user,
    const std::string& password);

} // namespace tarnwick::pppdfiles
