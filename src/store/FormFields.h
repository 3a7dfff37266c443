#pragma once

#include "store/ConfigRecord.h"

#include <array>
#include <string>

namespace tarnwick
{

// What the main window's address fields, radio buttons and proxy check boxes
// hold: the fourteen texts IP1 to AGENTPORT (in record order) and the four
// switches. The save turns it into a Record; viewing a record fills it.
struct FormFields {
    std::array<std::string, 14> texts;
    bool useIp = false; // "使用下面的IP地址" checked
    bool useDns = false; // "使用下面DNS服务器地址" checked
    bool useAgent = false; // "使用代理服务器"
    bool setAgent = false; // "启用该设置功能"

    // Access by field, for the fields IP1 to AGENTPORT only.
    const std::string& text(ConfigField f) const { return texts[index(f)]; }
    std::string& text(ConfigField f) { return texts[index(f)]; }

    bool operator==(const FormFields&) const = default;

private:
    static std::size_t index(ConfigField f);
};

// What viewing a stored record puts into the fields: texts as stored, each
// switch on exactly when its text is "1".
FormFields formFieldsFrom(const ConfigRecord& record);

} // namespace tarnwick
