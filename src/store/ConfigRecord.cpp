#include "store/ConfigRecord.h"

namespace tarnwick
{

std::string recordCaption(const ConfigRecord& record, std::size_t position)
{
    const std::string& name = record[ConfigField::Name];
    if (!trimBlanks(name).empty())
        return name;
    return "Config" + std::to_string(position);
}

namespace
{

template <typename Config, typename Text> std::array<Text*, 14> textsOf(Config& c)
{
    return { &c.ip[0], &c.ip[1], &c.ip[2], &c.mask[0], &c.mask[1], &c.mask[2], &c.gateway[0], &c.gateway[1],
        &c.dns[0], &c.dns[1], &c.dns[2], &c.dns[3], &c.proxyHost, &c.proxyPort };
}

} // namespace

std::array<const std::string*, 14> recordOrderTexts(const TcpIpConfig& c)
{
    return textsOf<const TcpIpConfig, const std::string>(c);
}

std::array<std::string*, 14> recordOrderTexts(TcpIpConfig& c)
{
    return textsOf<TcpIpConfig, std::string>(c);
}

TcpIpConfig configOf(const ConfigRecord& record)
{
    TcpIpConfig c;
    const auto texts = recordOrderTexts(c);
    for (std::size_t i = 0; i < texts.size(); ++i)
        *texts[i] = record.texts[static_cast<std::size_t>(ConfigField::Ip1) + i];
    c.fixedIp = isSwitchOn(record[ConfigField::UseIp]);
    c.fixedDns = isSwitchOn(record[ConfigField::UseDns]);
    c.proxyOn = isSwitchOn(record[ConfigField::UseAgent]);
    c.proxyTakesPart = isSwitchOn(record[ConfigField::SetAgent]);
    return c;
}

} // namespace tarnwick
