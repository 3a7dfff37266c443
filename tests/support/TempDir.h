#pragma once

#include <filesystem>

namespace tarnwick::test
{

// A fresh folder under $TMPDIR, removed with everything in it when the
// object goes out of scope.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& p) const { return m_path / p; }

private:
    std::filesystem::path m_path;
};

} // namespace tarnwick::test
