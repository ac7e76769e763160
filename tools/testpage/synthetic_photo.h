// A photo-like scene made up pixel by pixel: sky and grass gradients, a face
// in skin tones, a shaded ball, a low sun, and fine detail (a zone plate, a
// fan of thin lines, a grey wedge and ramp). Any row can be made on its own,
// so a page of any height streams.
#pragma once

#include <cstdint>

namespace zova {

// Fills rgb with row y (3 * width bytes) of a width x height scene.
void SyntheticPhotoRow(int width, int height, int y, uint8_t* rgb);

}  // namespace zova
