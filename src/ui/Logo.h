#pragma once
// The window's logo: a transparent one-bit picture of 265 x 34 pixels (a kestrel's wing beside
// the program's name), drawn by the program itself, in a frame 49 pixels high.

#include <QPixmap>

namespace k32 {

QPixmap DrawLogo();

}  // namespace k32
