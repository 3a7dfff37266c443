#pragma once

#include <QIcon>
#include <QPixmap>

#include <string>

// The program's pictures, drawn at run time so nothing binary is shipped.
namespace tarnwick::gui
{

// Two screens joined by a link, on a blue tile.
QIcon appIcon();
// The same drawn at `size` pixels, and as PNG bytes for the desktop's icon theme.
QPixmap appIconPixmap(int size);
std::string appIconPng(int size);

// Image 0 of the configuration list: a settings sheet, 16 and 32 pixels.
QIcon configIcon();

// The about window's banner, 185 × 73.
QPixmap bannerPicture();

// One frame of the about window's animated strip (149 wide); `frame` counts up.
QPixmap stripFrame(int width, int height, int frame);

} // namespace tarnwick::gui
