#pragma once

// The main window's control rules, decided without widgets so they can be
// checked on their own; TFmain only carries out what these return.
namespace tarnwick::gui
{

// The original window adds a 5-pixel frame to its 717-pixel client area; the
// width toggle is defined on the outer width.
inline constexpr int kFrameExtra = 5;
inline constexpr int kWideOuterWidth = 722;
inline constexpr int kNarrowOuterWidth = 531;
inline constexpr int kWidthThreshold = 600;
inline constexpr int kClientHeight = 368;

struct WidthChange {
    int outerWidth;
    bool advanced; // the value to store as "Advanced"
};

// "高级>>": decides by the current width, not by a stored state, so it always toggles.
WidthChange toggleWidth(int currentOuterWidth);

struct ProxyEnables {
    bool useAgent; // the box "使用代理服务器"
    bool fields; // proxy address and port
};

// The feature box gates the proxy box, which gates the two fields.
ProxyEnables proxyEnables(bool setAgentChecked, bool useAgentChecked);

struct AddressEnables {
    bool addressFields; // the three IPs, three masks and the first gateway
    bool autoDnsRadio; // "自动获得DNS服务器地址"
    bool forceUseDns; // select "使用下面DNS服务器地址"
};

// A fixed address cannot come with automatic DNS servers.
AddressEnables addressEnables(bool useFixedIp);

} // namespace tarnwick::gui
