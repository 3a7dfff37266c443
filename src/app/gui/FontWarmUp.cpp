#include "app/gui/FontWarmUp.h"

#include <fontconfig/fontconfig.h>

#include <system_error>

namespace tarnwick::gui
{

FontWarmUp::FontWarmUp()
{
    try {
        m_thread = std::thread([] { FcInit(); });
    } catch (const std::system_error&) {
        // No thread: Qt loads the configuration itself at the first text.
    }
}

FontWarmUp::~FontWarmUp()
{
    wait();
}

void FontWarmUp::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace tarnwick::gui
