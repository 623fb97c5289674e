#include "engine/render/annotation_appearance_icons.h"

namespace kestrel::appearance {

namespace {

constexpr double kIconSize = 24;

// A sheet with three lines of text and a pin, in icon units (0-24, y up).
constexpr const char* kNoteStrokes =
    "2 w 9 19 m 4 19 l 4 9 l 4 5.5 4.7 4 7 4 c 20 4 l S\n"
    "17 19 m 18 19 l 18 9 l 18 5.5 18.6 4 20 4 c S\n"
    "1.5 w 13.5 21.5 m 10 17 l S\n"
    "1 w 6.5 14.75 m 15.5 14.75 l 6.5 11.75 m 13.5 11.75 l 6.5 8.75 m 15.5 8.75 l S\n";

// A speech bubble with rounded corners and a tail at the lower left.
constexpr const char* kCommentStrokes =
    "2 w 8 10 m 8 4 l 13.5 10 l 16 10 l 18.2 10 20 11.8 20 14 c 20 17 l 20 19.2 18.2 21 16 21 c "
    "8 21 l 5.8 21 4 19.2 4 17 c 4 14 l 4 11.8 5.8 10 8 10 c h S\n";

constexpr const char* kCrossStrokes = "2.5 w 6 18 m 18 6 l 18 18 m 6 6 l S\n";

// The shapes of an icon name; empty for names without an icon of ours.
std::string IconShapes(const std::string& name) {
  if (name == "Note") return std::string(kNoteStrokes) + Ellipse(11, 19, 16, 24) + "f\n";
  if (name == "Comment") return kCommentStrokes;
  if (name == "Cross") return kCrossStrokes;
  if (name == "Circle") return "2.5 w " + Ellipse(4.5, 5, 19.5, 20) + "S\n";
  return {};
}

}  // namespace

bool NoteIcon(TBuilder& b, const TBox& rect) {
  auto* name = As<TPDFName>(b.Get("Name"));
  const std::string shapes = IconShapes(name ? name->Value : "Note");
  if (shapes.empty()) return false;
  std::string& c = b.Content;
  c += "q 1 0 0 1 " + Num(rect.X0) + " " + Num(rect.Y1 - kIconSize) + " cm\n";
  const std::string colour = b.Colour(b.Get("C"), false);
  if (!colour.empty()) {
    // A square with corners rounded by 3 points.
    c += colour + "3 0 m 21 0 l 22.66 0 24 1.34 24 3 c 24 21 l 24 22.66 22.66 24 21 24 c "
                  "3 24 l 1.34 24 0 22.66 0 21 c 0 3 l 0 1.34 1.34 0 3 0 c f\n";
  }
  // The shapes in a darker grey one point lower make a shadow.
  c += "1 J 1 j 0.533 0.541 0.522 RG 0.533 0.541 0.522 rg q 1 0 0 1 0 -1 cm\n" + shapes +
       "Q 0.729 0.741 0.714 RG 0.729 0.741 0.714 rg\n" + shapes + "Q\n";
  return true;
}

}  // namespace kestrel::appearance
