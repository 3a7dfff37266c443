#pragma once

#include <array>
#include <optional>
#include <string>

namespace tarnwick
{

// The window's TCP/IP fields as a reload fills them.
struct FieldValues {
    std::array<std::string, 3> ip; // cxTEIP, cxTEIP2, cxTEIP3
    std::array<std::string, 3> mask; // cxTEMask, cxTEMask2, cxTEMask3
    std::array<std::string, 2> gateway; // cxTEGateway, cxTEGateway2
    std::array<std::string, 4> dns; // cxTEDNSServer .. cxTEDNSServer4
    bool dhcp = false; // cxRBDHCP selected, else cxRBUseIP
    // cxRBUseDNS selected, else cxRBAutoDNS. Already the final choice: a
    // static adapter always uses fixed DNS servers (the IP radio's rule).
    bool useDns = false;
    bool useAgent = false; // cxCBUseAgent checked
    std::string agentIp; // cxTEAgentIP
    std::string agentPort; // cxTEAgentPort

    bool operator==(const FieldValues&) const = default;
};

// What one status refresh asks the window to show. Unset parts stay as they are.
struct StatusView {
    std::array<std::string, 5> panels; // SB_IPStatus, always all five
    std::optional<FieldValues> fields; // a reload of the fields
    std::optional<std::string> hint; // the adapter list's hint
    // No adapter: texts for cxTEIP, cxTEMask and cxTEGateway only.
    std::optional<std::array<std::string, 3>> placeholders;

    bool operator==(const StatusView&) const = default;
};

} // namespace tarnwick
