#include "store/FormFields.h"

#include <stdexcept>

namespace tarnwick
{

std::size_t FormFields::index(ConfigField f)
{
    const auto i = static_cast<std::size_t>(f);
    const auto first = static_cast<std::size_t>(ConfigField::Ip1);
    const auto last = static_cast<std::size_t>(ConfigField::AgentPort);
    if (i < first || i > last)
        throw std::out_of_range("not a text field of the form");
    return i - first;
}

FormFields formFieldsFrom(const ConfigRecord& record)
{
    FormFields f;
    for (auto i = static_cast<std::size_t>(ConfigField::Ip1);
         i <= static_cast<std::size_t>(ConfigField::AgentPort); ++i)
        f.text(static_cast<ConfigField>(i)) = record.texts[i];
    f.useIp = isSwitchOn(record[ConfigField::UseIp]);
    f.useDns = isSwitchOn(record[ConfigField::UseDns]);
    f.useAgent = isSwitchOn(record[ConfigField::UseAgent]);
    f.setAgent = isSwitchOn(record[ConfigField::SetAgent]);
    return f;
}

} // namespace tarnwick
