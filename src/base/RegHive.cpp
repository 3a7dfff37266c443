#include "base/RegHive.h"

#include <algorithm>

namespace tarnwick
{
namespace
{

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// Parent path of a normalized path; nullopt for the root itself.
std::optional<std::string_view> parentOf(std::string_view path)
{
    if (path.empty())
        return std::nullopt;
    const std::size_t cut = path.rfind('\\');
    return cut == std::string_view::npos ? std::string_view {} : path.substr(0, cut);
}

} // namespace

std::string foldCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

const RegValue* RegKey::find(std::string_view name) const
{
    for (const auto& [n, v] : values) {
        if (sameName(n, name))
            return &v;
    }
    return nullptr;
}

void RegKey::set(std::string_view name, const RegValue& value)
{
    for (auto& [n, v] : values) {
        if (sameName(n, name)) {
            v = value;
            return;
        }
    }
    values.emplace_back(std::string(name), value);
}

bool RegKey::remove(std::string_view name)
{
    const auto it = std::find_if(
        values.begin(), values.end(), [&](const auto& entry) { return sameName(entry.first, name); });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

std::optional<std::string> RegHive::normalizePath(std::string_view path)
{
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    if (path.empty())
        return std::string();
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part
            = path.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (part.empty())
            return std::nullopt;
        for (char c : part) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || u == 0x7F || c == ']')
                return std::nullopt;
        }
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return std::string(path);
}

const RegKey* RegHive::find(std::string_view path) const
{
    for (const RegKey& key : m_keys) {
        if (sameName(key.path, path))
            return &key;
    }
    return nullptr;
}

RegKey* RegHive::find(std::string_view path)
{
    return const_cast<RegKey*>(std::as_const(*this).find(path));
}

RegKey& RegHive::create(std::string_view path)
{
    if (RegKey* existing = find(path))
        return *existing;
    // Parents first, so the file lists a key after the keys above it and each
    // existing parent keeps the spelling it was created with.
    // The root itself is only listed when it holds values of its own.
    std::string spelled(path);
    if (const auto parent = parentOf(path); parent && !parent->empty()) {
        const RegKey& p = create(*parent);
        spelled = p.path + std::string(path.substr(parent->size()));
    }
    m_keys.push_back(RegKey { std::move(spelled), {} });
    return m_keys.back();
}

std::vector<std::string> RegHive::subkeyNames(std::string_view path) const
{
    std::vector<std::string> names;
    const std::string prefix = path.empty() ? std::string() : foldCase(path) + '\\';
    for (const RegKey& key : m_keys) {
        if (key.path.empty() || key.path.size() <= prefix.size())
            continue;
        if (foldCase(std::string_view(key.path).substr(0, prefix.size())) != prefix)
            continue;
        const std::string_view rest = std::string_view(key.path).substr(prefix.size());
        if (rest.find('\\') == std::string_view::npos)
            names.emplace_back(rest);
    }
    return names;
}

} // namespace tarnwick
