#pragma once

#include <thread>

namespace tarnwick::gui
{

// Loads fontconfig's configuration and font cache on another thread while
// the application object is made. The window's first measured text would
// otherwise wait for it: the largest single step of the start.
//
// wait() must come before the first use of a font: fontconfig does not wait
// for a load in progress but loads a second copy beside it.
class FontWarmUp
{
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    void wait();

private:
    std::thread m_thread;
};

} // namespace tarnwick::gui
