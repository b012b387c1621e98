// Picture pages: the table of a picture group's pictures, and its pictures made larger or
// smaller by the zoom keys. The builders return the page's text; the caller shows it.
#pragma once

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The page of a picture group ("01", the first two characters of number): one row of images
// per row of the group's table (TU + group in bible.ini), each image of the installation's
// pic folder at its size in the table times the picture scale (TUPER).
GbString PicturePage(RenderState& state, const GbString& number);

// The picture page's body with every image's height and width (height first, as the browser
// writes them) scaled by 1.1 (larger) or 0.9, truncated toward zero.
GbString ZoomedPicturePage(GbString body, bool larger);

}  // namespace quillax
