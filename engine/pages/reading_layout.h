// The reading layout toggle of the "+" and "-" keys: a chapter page switches between the normal
// layout and the compact one, a study page marked for prose between prose and one line per
// verse. The builder returns the page's text; the caller shows it.
#pragma once

#include <optional>

#include "engine/state/render_state.h"
#include "textlib/gb_string.h"

namespace quillax {

// The reading layout a toggle switches to from the normal one.
constexpr int kCompactReadModel = 9999;

// The body (read from the page, in lower case) in the other layout, with state.readModel
// switched to it: 0 for the normal layout, kCompactReadModel for the other. nullopt, with
// nothing changed, for a page that is neither a chapter page nor a study page marked for
// prose. An empty text when the page has nothing to show.
std::optional<GbString> ToggledReadingLayout(RenderState& state, GbString body);

}  // namespace quillax
