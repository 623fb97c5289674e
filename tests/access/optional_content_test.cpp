// Optional content states where pdftoppm is no reference: usage applied through AS, documents
// without a configuration, and broken visibility expressions. (The rest is compared with
// pdftoppm in the render tests.)
#include <gtest/gtest.h>

#include <map>

#include "engine/access/interactive/optional_content.h"
#include "engine/syntax/structure.h"

using namespace kestrel;

namespace {

class TOptionalContentFixture {
 public:
  TOptionalContentFixture(const std::map<int, std::string>& objects, const std::string& catalogue) {
    for (const auto& [num, text] : objects) objects_[num] = pool_.ParseObject(text);
    oc_ = std::make_unique<TPDFOptionalContent>(
        As<TPDFDictionary>(pool_.ParseObject(catalogue)), [this](TPDFIndRef* ref) -> TPDFObject* {
          auto it = objects_.find(ref->RefObjNum);
          return it == objects_.end() ? nullptr : it->second;
        });
  }
  bool Visible(int num) { return oc_->IsVisible(pool_.NewIndRef(num, 0)); }

 private:
  TPDFStructure pool_;
  std::map<int, TPDFObject*> objects_;
  std::unique_ptr<TPDFOptionalContent> oc_;
};

const std::map<int, std::string> kGroups = {
    {10, "<< /Type /OCG /Usage << /View << /ViewState /OFF >> >> >>"},
    {11, "<< /Type /OCG /Usage << /View << /ViewState /OFF >> >> >>"},
    {12, "<< /Type /OCG /Usage << /View << /ViewState /ON >> >> >>"},
    {20, "<< /Type /OCMD /VE 21 0 R >>"},  // an expression that contains itself
    {21, "[/Not 21 0 R]"},
    {22, "<< /Type /OCMD /VE [/Foo 10 0 R] /OCGs [11 0 R] >>"},
};

TEST(OptionalContent, ViewUsageAppliesOnlyThroughTheConfiguration) {
  TOptionalContentFixture oc(
      kGroups,
      "<< /OCProperties << /OCGs [10 0 R 11 0 R 12 0 R] /D << /OFF [12 0 R] /AS ["
      "<< /Event /View /Category [/Zoom /View] /OCGs [10 0 R 12 0 R] >> "
      "<< /Event /Print /Category [/Print /View] /OCGs [11 0 R] >>] >> >> >>");
  EXPECT_FALSE(oc.Visible(10));  // View usage OFF, applied for View
  EXPECT_TRUE(oc.Visible(11));   // applied for printing only
  EXPECT_TRUE(oc.Visible(12));   // OFF in the configuration, View usage ON
  // A broken expression shows its content; one that contains itself ends at the depth bound.
  EXPECT_TRUE(oc.Visible(20));
  EXPECT_TRUE(oc.Visible(22));

  TOptionalContentFixture without(kGroups, "<< >>");
  EXPECT_TRUE(without.Visible(10));
}

}  // namespace
