#pragma once

#include "base/TcpIpConfig.h"

#include <array>
#include <optional>
#include <string>

namespace tarnwick
{

// What one status refresh asks the window to show. Unset parts stay as they are.
struct StatusView {
    std::array<std::string, 5> panels; // SB_IPStatus, always all five
    // A reload of the fields (proxyTakesPart is not among them). fixedDns is
    // already the final choice: a static adapter always uses fixed DNS
    // servers (the IP radio's rule).
    std::optional<TcpIpConfig> fields;
    std::optional<std::string> hint; // the adapter list's hint
    // No adapter: texts for cxTEIP, cxTEMask and cxTEGateway only.
    std::optional<std::array<std::string, 3>> placeholders;

    bool operator==(const StatusView&) const = default;
};

} // namespace tarnwick
