// Decodes the button pictures: the first image of a GIF, with its transparent colour.
#pragma once

#include <string_view>

#include "platform/result.h"
#include "ui/picture.h"

namespace ostrael::ui {

// Every pixel comes out either transparent or opaque. Fails on anything that is not a well-formed
// GIF, and on pictures over 1024 x 1024.
Result<Picture> decode_gif(std::string_view bytes);

}  // namespace ostrael::ui
