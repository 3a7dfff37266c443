#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::test
{

// HOME and the freedesktop folders inside a test's temporary folder, for as
// long as it lives: what the window writes to the desktop, the file type and
// the launcher, never reaches the real home folder.
class TempHome
{
public:
    explicit TempHome(const std::filesystem::path& dir)
        : m_home(dir / "home")
    {
        set("HOME", m_home);
        set("XDG_DATA_HOME", m_home / ".local/share");
        set("XDG_CONFIG_HOME", m_home / ".config");
    }
    ~TempHome()
    {
        for (const auto& [name, old] : m_saved) {
            if (old)
                ::setenv(name.c_str(), old->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& home() const { return m_home; }
    std::filesystem::path desktop() const { return m_home / "Desktop"; }
    std::filesystem::path dataHome() const { return m_home / ".local/share"; }
    std::filesystem::path configHome() const { return m_home / ".config"; }

private:
    void set(const char* name, const std::filesystem::path& value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name, value.c_str(), 1);
    }

    std::filesystem::path m_home;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

} // namespace tarnwick::test
