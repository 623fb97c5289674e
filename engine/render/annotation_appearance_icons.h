#pragma once
// The icon a Text annotation (a sticky note) shows when it has no appearance of its own.
#include "engine/render/annotation_appearance_kit.h"

namespace kestrel::appearance {

// A 24-point icon at the rectangle's upper left corner, on a rounded square in the
// annotation's colour when it has one: a note (also without /Name), a speech bubble for
// Comment, a cross, a circle. False for other names, which are drawn as nothing.
bool NoteIcon(TBuilder& b, const TBox& rect);

}  // namespace kestrel::appearance
