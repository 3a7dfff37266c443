#pragma once

#include "base/MessageSink.h"
#include "store/ConfigRecord.h"
#include "store/ConfigTable.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::test
{

// Records every message instead of showing it.
class RecordingSink : public MessageSink
{
public:
    void show(Kind kind, const std::string& text, const std::string& title = {}) override;

    std::vector<std::pair<Kind, std::string>> messages;
    std::vector<std::string> texts() const;
};

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

// Path of a fixture under tests/data.
std::filesystem::path dataFile(const std::string& name);
// Copies a fixture into `dir` and returns the copy's path.
std::filesystem::path copyFixture(const std::string& name, const std::filesystem::path& dir);

// A record with all twenty texts set and distinct, derived from `id`.
ConfigRecord sampleRecord(const std::string& id, const std::string& name);

// A whole configuration file (GB2312 bytes) holding these records in order.
std::string configFileBytes(const std::string& lastId, const std::vector<ConfigRecord>& records);

// One file of the table every reader of the configuration file must judge
// alike: the check, the list and the window's load.
struct VerdictCase {
    std::string what;
    std::string bytes;
    bool loads = false; // the loader takes it (the list and the window show it)
    std::string repeatedId; // an ID two records share: `check` refuses, the others warn
    std::string reason; // part of the refusal's or the warning's text
};
std::vector<VerdictCase> verdictCases();

// Strict GB2312 decoding; false when a byte sequence is not GB2312.
bool isPureGb2312(const std::string& bytes);

// Names of the files in `dir`.
std::vector<std::string> fileNames(const std::filesystem::path& dir);

// The configuration file's records as a refresh would list them.
ConfigTable listed(const std::filesystem::path& path);

} // namespace tarnwick::test
