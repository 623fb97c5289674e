#pragma once
// The interactive form (the catalogue's AcroForm) read into a tree of fields when a document
// is opened. Rendering does not consult it; it describes what the document holds.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "engine/syntax/objects.h"

namespace kestrel {

class TPDFForm;

enum class TFieldKind : std::uint8_t {
  Unknown = 0,
  Text = 1,
  PushButton = 2,
  CheckBox = 3,
  RadioButton = 4,
  Choice = 5,
  Signature = 6,
  NonTerminal = 7,
};

class TPDFField {
 public:
  using TResolve = std::function<TPDFObject*(TPDFIndRef*)>;

  TPDFField(TResolve resolve, TPDFDictionary& dict, TPDFIndRef* ref, TPDFForm* form, TPDFField* parent);

  TPDFDictionary& Dictionary() const { return dict_; }
  TPDFIndRef* Reference() const { return ref_; }
  TPDFForm* Form() const { return form_; }
  TPDFField* Parent() const { return parent_; }
  // From "Rect": the smaller x and y, and the extent (0 where a number is missing).
  double Left = 0, Top = 0, Width = 0, Height = 0;
  // "T" decoded as a PDF text string (UTF-16BE with its byte-order mark, else PDFDocEncoding),
  // as UTF-8; empty when absent.
  std::string PartialName;
  bool HasKids = false;

  // Worked out from "FT" and "Ff" (both inherited through "Parent") once, then kept.
  TFieldKind Kind();
  // The entry in the field or, when absent, in its Parent chain (resolved).
  TPDFObject* Inherited(TByteView key);

 private:
  TResolve resolve_;
  TPDFDictionary& dict_;
  TPDFIndRef* ref_;
  TPDFForm* form_;
  TPDFField* parent_;
  bool kindKnown_ = false;
  TFieldKind kind_ = TFieldKind::Unknown;
};

class TPDFForm {
 public:
  using TResolve = TPDFField::TResolve;

  // Reads the form dictionary's field tree. An absent "CO" array or "DR" dictionary is added
  // to the form dictionary, empty.
  TPDFForm(TResolve resolve, TPDFDictionary& form);

  TPDFDictionary& Dictionary() const { return dict_; }
  TPDFArray* FieldsArray() const { return fieldsArray_; }
  TPDFArray* CalculationOrder() const { return co_; }
  TPDFDictionary* DefaultResources() const { return dr_; }
  // Every field read, parents before their kids.
  const std::vector<std::unique_ptr<TPDFField>>& Fields() const { return fields_; }

 private:
  void ReadField(TPDFIndRef* ref, TPDFField* parent, int depth);
  TPDFObject* Resolve(TPDFObject* obj);

  TResolve resolve_;
  TPDFDictionary& dict_;
  TPDFArray* fieldsArray_ = nullptr;
  TPDFArray* co_ = nullptr;
  TPDFDictionary* dr_ = nullptr;
  std::vector<std::unique_ptr<TPDFField>> fields_;
  std::unordered_set<std::int32_t> seen_;
};

}  // namespace kestrel
