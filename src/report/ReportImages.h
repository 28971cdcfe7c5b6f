#pragma once
// The web report's two images as GIF file data, built into the program from
// report/images (generated ReportImages.cpp).

#include <cstddef>

namespace k32 {

// The product banner at the top of the web report: a 468 x 60 GIF.
extern const unsigned char kBannerGif[];
extern const std::size_t kBannerGifSize;

// The neutral mail system badge in the web report's footer: an 85 x 20 GIF.
extern const unsigned char kBadgeGif[];
extern const std::size_t kBadgeGifSize;

}  // namespace k32
