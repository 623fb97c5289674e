#pragma once
// The colour spaces of one rendering: resolves cs/CS operands and colour-space objects to
// identities, owns the objects that Separation, DeviceN, Lab, Indexed and Pattern spaces need,
// and converts components to colours.
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/render/colour/colour_manager.h"
#include "engine/render/colour/colour_space.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFDictionary;
class TPDFObject;

class TPDFColorSpaces {
 public:
  // Resolves indirect references (anything else is returned as it is).
  using TResolver = std::function<TPDFObject*(TPDFObject*)>;

  TPDFColorSpaces(TPDFSimpleColorManager& manager, TResolver resolver);
  ~TPDFColorSpaces();
  TPDFColorSpaces(const TPDFColorSpaces&) = delete;
  TPDFColorSpaces& operator=(const TPDFColorSpaces&) = delete;

  // The space a cs or CS operand names: a device name, or an entry of the resources'
  // ColorSpace dictionary. Unknown or unusable spaces give DeviceRGB.
  TColorSpaceId ResolveColorSpace(TByteView operand, const TPDFDictionary* resources);
  // A space given as an object: a family name or an array. Nothing when it is not usable.
  // At depth 0 (a space the content uses, not one inside another) a device space gives way to
  // its Default space.
  std::optional<TColorSpaceId> FromObject(TPDFObject* space, int depth = 0);

  // The page's DefaultGray, DefaultRGB and DefaultCMYK (entries of its resources' ColorSpace
  // dictionary) stand in for the device spaces from now on; a Default space that is no
  // usable space of the same number of components is ignored. Without a DefaultCMYK, the
  // document's output intent profile (`outputProfile`, an ICC stream) serves for DeviceCMYK
  // when it is a CMYK profile.
  void SetDefaults(const TPDFDictionary* resources, TPDFObject* outputProfile = nullptr);
  // The space that draws for `id`: its Default space for a device space that has one.
  TColorSpaceId WithDefault(TColorSpaceId id) const;

  int ComponentCount(TColorSpaceId id) const;
  void InitialComponents(TColorSpaceId id, std::vector<double>& out) const;
  // Missing values read as 0, extra ones are ignored. An identity naming nothing gives black.
  // Throws TPDFFunctionError when a tint transform fails.
  TColorValue Convert(TColorSpaceId id, std::span<const double> values, bool wantText);

  TPDFSpecialColorSpace* Find(TColorSpaceId id) const;
  std::size_t ObjectCount() const { return spaces_.size(); }
  TPDFSimpleColorManager& Manager() { return manager_; }
  TPDFObject* Resolve(TPDFObject* obj) const { return resolver_ ? resolver_(obj) : obj; }

 private:
  std::optional<TColorSpaceId> Lookup(TPDFObject* space, int depth);
  // An ICC profile stream of n components as a space; nothing when it does not open.
  std::optional<TColorSpaceId> FromProfile(const TPDFObject* source, const class TPDFStream& stream,
                                           int n);
  std::optional<TColorSpaceId> FromArray(TPDFObject* key, const class TPDFArray& array,
                                         int depth);
  std::optional<TColorSpaceId> BarePattern();
  std::optional<TColorSpaceId> Register(std::unique_ptr<TPDFSpecialColorSpace> space);

  TPDFSimpleColorManager& manager_;
  TResolver resolver_;
  std::vector<std::unique_ptr<TPDFSpecialColorSpace>> spaces_;
  // Default spaces of DeviceGray, DeviceRGB and DeviceCMYK.
  std::optional<TColorSpaceId> defaults_[3];
  // Profiles and Cal dictionaries found unusable, so they are read only once.
  std::vector<const TPDFObject*> unusable_;
};

// Device family of a name ("DeviceGray", "G", "CalRGB", ...), if it is one.
std::optional<TColorSpaceId> DeviceFamilyOfName(TByteView name);

}  // namespace kestrel
