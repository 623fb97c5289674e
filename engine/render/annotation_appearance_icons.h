#pragma once
// The icon a Text annotation (a sticky note) shows when it has no appearance of its own.
#include "engine/render/annotation_appearance_kit.h"

namespace kestrel::appearance {

// A 24-point icon at the rectangle's upper left corner (a speech bubble for /Name /Comment, a
// note for the other names), on a rounded square in the annotation's colour when it has one.
void NoteIcon(TBuilder& b, const TBox& rect);

}  // namespace kestrel::appearance
