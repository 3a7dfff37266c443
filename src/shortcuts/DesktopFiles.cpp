#include "shortcuts/DesktopFiles.h"

#include "base/AtomicFile.h"
#include "base/ProfileDocument.h"
#include "base/TRegistry.h"

#include <sys/stat.h>
#include <system_error>

namespace tarnwick
{

namespace fs = std::filesystem;

namespace
{

constexpr std::string_view kDesktopEntryName = "tarnwick.desktop";
constexpr std::string_view kIconName = "tarnwick";

// A desktop entry's string value: backslash and line breaks escaped.
std::string entryString(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // CR LF becomes one escaped line break
        else if (c == '\n' || c == '\r')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string readOrEmpty(const fs::path& path)
{
    try {
        return readWholeFile(path);
    } catch (const std::system_error&) {
        return {};
    }
}

// Writes the file only when its bytes differ; true when it wrote.
bool writeIfDifferent(const fs::path& path, std::string_view bytes, unsigned mode = 0644)
{
    struct stat st {
    };
    const bool sameMode = ::stat(path.c_str(), &st) == 0 && (st.st_mode & 07777) == mode;
    if (sameMode && readOrEmpty(path) == bytes)
        return false;
    fs::create_directories(path.parent_path());
    writeFileAtomically(path, bytes, mode);
    if (::chmod(path.c_str(), mode) != 0)
        throw std::system_error(errno, std::generic_category(), "cannot set the mode of " + path.string());
    return true;
}

std::string folderOf(const std::string& executable)
{
    return fs::path(executable).parent_path().string();
}

} // namespace

std::optional<fs::path> desktopFromUserDirs(std::string_view userDirs, const std::string& home)
{
    std::size_t at = 0;
    while (at < userDirs.size()) {
        std::size_t end = userDirs.find('\n', at);
        if (end == std::string_view::npos)
            end = userDirs.size();
        std::string_view line = userDirs.substr(at, end - at);
        at = end + 1;
        constexpr std::string_view key = "XDG_DESKTOP_DIR=";
        if (!line.starts_with(key))
            continue;
        line.remove_prefix(key.size());
        if (line.size() < 2 || line.front() != '"' || line.back() != '"')
            return std::nullopt;
        std::string value(line.substr(1, line.size() - 2));
        // The format allows "$HOME/..." or an absolute path; "$HOME/" alone means home.
        if (value == "$HOME" || value.starts_with("$HOME/"))
            value = home + value.substr(5);
        if (value.empty() || value.front() != '/')
            return std::nullopt;
        return fs::path(value).lexically_normal();
    }
    return std::nullopt;
}

std::string execArgument(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        if (c == '%')
            quoted += '%'; // a field code otherwise
        quoted += c;
    }
    quoted += '"';
    // The key's value is a string too: its backslashes are escaped again.
    return entryString(quoted);
}

void createLauncher(const fs::path& desktop, const std::string& executable, std::string_view name,
    std::string_view description)
{
    const std::string entry = "[Desktop Entry]\nType=Application\nVersion=1.0\nName=" + entryString(name)
        + "\nComment=" + entryString(description) + "\nExec=" + execArgument(executable) + "\nPath="
        + entryString(folderOf(executable)) + "\nIcon=" + std::string(kIconName) + "\nTerminal=false\n";
    fs::create_directories(desktop);
    // Executable, so file managers start it instead of showing its text.
    writeIfDifferent(desktop / (std::string(name) + ".desktop"), entry, 0755);
}

bool deleteLauncher(const fs::path& desktop, std::string_view name)
{
    std::error_code ec;
    return fs::remove(desktop / (std::string(name) + ".desktop"), ec);
}

void registerFileTypeKeys(RegistryStore& store, const std::string& executable)
{
    const std::string command = executable + " %1";
    const std::pair<const char*, std::string> keys[] = {
        { ".twk", "twk_Auto_File" },
        { "twk_Auto_File", "Tarnwick Config File" },
        { "twk_Auto_File\\DefaultIcon", executable + ",0" },
        { "twk_Auto_File\\shell\\open\\command", command },
        { "twk_Auto_File\\shell\\Open with Tarnwick\\command", command },
    };
    TRegistry reg(store);
    reg.SetRootKey(RegRoot::ClassesRoot);
    for (const auto& [key, value] : keys) {
        if (reg.OpenKeyReadOnly(key) && reg.ValueExists("") && reg.ReadString("") == value) {
            reg.CloseKey();
            continue;
        }
        try {
            if (!reg.OpenKey(key, true))
                return;
            reg.WriteString("", value);
        } catch (const std::exception&) {
            return; // the later keys stay unwritten
        }
        reg.CloseKey();
    }
}

std::vector<fs::path> registerQuickSwitchType(const DesktopPaths& paths, const std::string& executable,
    std::string_view iconPng, const ToolRunner& runTool)
{
    std::vector<fs::path> written;
    const auto write = [&](const fs::path& path, std::string_view bytes) {
        if (writeIfDifferent(path, bytes))
            written.push_back(path);
        return !written.empty() && written.back() == path;
    };
    const std::string type(kQuickSwitchMimeType);
    const fs::path mime = paths.dataHome / "mime";
    const bool mimeChanged = write(mime / "packages" / "tarnwick-quickswitch.xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
        "  <mime-type type=\""
            + type
            + "\">\n"
              "    <comment>Tarnwick quick-switch file</comment>\n"
              "    <comment xml:lang=\"zh_CN\">Tarnwick 快速切换文件</comment>\n"
              "    <sub-class-of type=\"application/xml\"/>\n"
              "    <glob pattern=\"*.twk\"/>\n"
              "    <root-XML namespaceURI=\"\" localName=\"SkiffnetQuickSwitch\"/>\n"
              "  </mime-type>\n"
              "</mime-info>\n");
    const fs::path applications = paths.dataHome / "applications";
    const bool entryChanged = write(applications / kDesktopEntryName,
        "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Tarnwick\nComment="
            + entryString(kLauncherDescription) + "\nExec=" + execArgument(executable) + " %f\nIcon="
            + std::string(kIconName) + "\nMimeType=" + type + ";\nCategories=Network;\nTerminal=false\n");
    if (!iconPng.empty())
        write(paths.dataHome / "icons" / "hicolor" / "256x256" / "apps" / (std::string(kIconName) + ".png"),
            iconPng);

    // The default application, beside whatever else the user chose there.
    const fs::path mimeapps = paths.configHome / "mimeapps.list";
    ProfileDocument defaults = ProfileDocument::parse(readOrEmpty(mimeapps));
    if (defaults.value("Default Applications", type) != kDesktopEntryName) {
        defaults.setValue("Default Applications", type, kDesktopEntryName);
        write(mimeapps, defaults.serialize());
    }
    if (mimeChanged)
        runTool({ "update-mime-database", mime.string() });
    if (entryChanged)
        runTool({ "update-desktop-database", applications.string() });
    return written;
}

} // namespace tarnwick
