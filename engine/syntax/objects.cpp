#include "engine/syntax/objects.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "engine/syntax/structure.h"

namespace kestrel {

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// PDFDocEncoding bytes 0x18-0x1F and 0x80-0xAD that differ from Latin-1, as Unicode.
char32_t PDFDocToUnicode(unsigned char c) {
  static const char16_t kLow[8] = {0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC};
  static const char16_t kHigh[46] = {
      0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, 0x2039, 0x203A, 0x2212,
      0x2030, 0x201E, 0x201C, 0x201D, 0x2018, 0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141,
      0x0152, 0x0160, 0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD, 0x20AC,
      0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB,
      0x00AC, 0xFFFD};
  if (c >= 0x18 && c <= 0x1F) return kLow[c - 0x18];
  if (c >= 0x80 && c <= 0xAD) return kHigh[c - 0x80];
  return c;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

void AppendDecimal(TBytes& out, double v, int precision) {
  if (!std::isfinite(v)) {
    out += '0';
    return;
  }
  if (precision < 0) precision = 0;
  if (precision > 15) precision = 15;
  char buf[64];
  int n = std::snprintf(buf, sizeof buf, "%.*f", precision, v);
  if (n <= 0 || n >= static_cast<int>(sizeof buf)) {
    n = std::snprintf(buf, sizeof buf, "%.0f", std::fabs(v) > 1e18 ? (v > 0 ? 1e18 : -1e18) : v);
  }
  std::string s(buf, static_cast<std::size_t>(n));
  if (s.find('.') != std::string::npos) {
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  out += s;
}

TBytes TPDFObject::ToText() const {
  TBytes out;
  WriteText(out);
  return out;
}

void TPDFObject::Release() { owner_->DeleteObject(this); }

TPDFObject* ResolveRef(TPDFObject* obj) {
  if (auto* ref = As<TPDFIndRef>(obj)) return ref->Resolve();
  return obj;
}

void TPDFNull::WriteText(TBytes& out) const { out += "null"; }

void TPDFBoolean::WriteText(TBytes& out) const { out += Value ? "true" : "false"; }

void TPDFNumeric::WriteText(TBytes& out) const { AppendDecimal(out, Value, Owner()->Precision); }

int32_t TPDFNumeric::AsInteger() const {
  if (std::isnan(Value)) return 0;
  double r = std::nearbyint(Value);  // default rounding mode: halves to even
  if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

void TPDFString::WriteText(TBytes& out) const {
  if (Form == kHex) {
    out += '<';
    for (unsigned char c : Value) {
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    }
    out += '>';
    return;
  }
  out += '(';
  for (unsigned char c : Value) {
    switch (c) {
      case 8: out += "\\b"; break;
      case 9: out += "\\t"; break;
      case 10: out += "\\n"; break;
      case 12: out += "\\f"; break;
      case 13: out += "\\r"; break;
      case '(': case ')': case '\\':
        out += '\\';
        out += static_cast<char>(c);
        break;
      default: out += static_cast<char>(c);
    }
  }
  out += ')';
}

std::string TPDFString::AsUnicode() const {
  std::string out;
  if (Value.size() > 1 && static_cast<unsigned char>(Value[0]) == 0xFE &&
      static_cast<unsigned char>(Value[1]) == 0xFF) {
    for (std::size_t i = 2; i + 1 < Value.size(); i += 2) {
      char32_t u = (static_cast<unsigned char>(Value[i]) << 8) | static_cast<unsigned char>(Value[i + 1]);
      if (u >= 0xD800 && u < 0xDC00 && i + 3 < Value.size()) {
        char32_t lo = (static_cast<unsigned char>(Value[i + 2]) << 8) |
                      static_cast<unsigned char>(Value[i + 3]);
        if (lo >= 0xDC00 && lo < 0xE000) {
          u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
          i += 2;
        }
      }
      AppendUtf8(out, u);
    }
    return out;
  }
  for (unsigned char c : Value) AppendUtf8(out, PDFDocToUnicode(c));
  return out;
}

void TPDFName::WriteText(TBytes& out) const {
  out += '/';
  for (unsigned char c : Value) {
    bool escape = c <= 32 || c >= 127;
    switch (c) {
      case '#': case '%': case '(': case ')': case '/': case '<': case '>':
      case '[': case ']': case '{': case '}':
        escape = true;
        break;
      default: break;
    }
    if (escape) {
      out += '#';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
}

// ---- arrays

TPDFObject* TPDFArray::Item(int i) const {
  if (i < 0 || i >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(i)];
}

TPDFObject* TPDFArray::ItemResolved(int i) const { return ResolveRef(Item(i)); }

void TPDFArray::Reserve(int n) {
  if (n > 0) items_.reserve(items_.size() + static_cast<std::size_t>(n));
}

void TPDFArray::DeleteAt(int i) {
  if (i < 0 || i >= Count()) return;
  TPDFObject* old = items_[static_cast<std::size_t>(i)];
  if (old) old->Release();
  items_.erase(items_.begin() + i);
}

void TPDFArray::ReplaceAt(int i, TPDFObject* obj) {
  if (i < 0 || i >= Count()) return;
  TPDFObject* old = items_[static_cast<std::size_t>(i)];
  items_[static_cast<std::size_t>(i)] = obj;
  // The old item is released after it left the array, so nothing here still holds it.
  if (old && old != obj) old->Release();
}

bool TPDFArray::AllNumbers() const {
  for (auto* item : items_)
    if (!As<TPDFNumeric>(item)) return false;
  return true;
}

int TPDFArray::IndexOfText(const TPDFObject* obj) const {
  if (!obj) return -1;
  TBytes text = obj->ToText();
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<std::size_t>(i)] && items_[static_cast<std::size_t>(i)]->ToText() == text)
      return i;
  return -1;
}

void TPDFArray::WriteText(TBytes& out) const {
  out += "[ ";
  std::size_t lineStart = out.size();
  for (auto* item : items_) {
    if (item) item->WriteText(out);
    if (out.empty() || out.back() != '\n') out += ' ';
    if (out.size() - lineStart > 80) {
      out += '\n';
      lineStart = out.size();
    }
  }
  out += ']';
}

void TPDFArray::Release() {
  // Children first: they stay alive while this array still lists them (Refers), and are
  // freed with the pool; only unreferenced objects go early.
  for (auto* item : items_)
    if (item) item->Release();
  TPDFObject::Release();
}

void TPDFArray::Renumber(int32_t delta) {
  for (auto* item : items_)
    if (item) item->Renumber(delta);
}

bool TPDFArray::Refers(const TPDFObject* x) const {
  for (auto* item : items_)
    if (item == x) return true;
  return false;
}

// ---- dictionaries

TPDFDictionary::Entry TPDFDictionary::EntryAt(int i) const {
  if (i < 0 || i >= Count()) return {nullptr, nullptr};
  return entries_[static_cast<std::size_t>(i)];
}

int TPDFDictionary::IndexOf(TByteView key) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].first && entries_[i].first->Value == key) return static_cast<int>(i);
  return -1;
}

TPDFObject* TPDFDictionary::GetValue(TByteView key, bool resolve) const {
  int i = IndexOf(key);
  if (i < 0) return nullptr;
  TPDFObject* v = entries_[static_cast<std::size_t>(i)].second;
  return resolve ? ResolveRef(v) : v;
}

int32_t TPDFDictionary::GetInteger(TByteView key, int32_t defaultValue) const {
  if (auto* n = As<TPDFNumeric>(GetValue(key, true))) return n->AsInteger();
  return defaultValue;
}

double TPDFDictionary::GetNumber(TByteView key, double defaultValue) const {
  if (auto* n = As<TPDFNumeric>(GetValue(key, true))) return n->Value;
  return defaultValue;
}

TBytes TPDFDictionary::GetNameValue(TByteView key) const {
  if (auto* n = As<TPDFName>(GetValue(key, true))) return n->Value;
  return {};
}

TBytes TPDFDictionary::GetTypeName() const {
  if (auto* n = As<TPDFName>(GetValue("Type", false))) return n->Value;
  return {};
}

void TPDFDictionary::SetEntry(TPDFName* key, TPDFObject* value) {
  if (!key) return;
  int i = IndexOf(key->Value);
  if (i >= 0) {
    entries_[static_cast<std::size_t>(i)] = {key, value};
  } else {
    entries_.emplace_back(key, value);
  }
}

void TPDFDictionary::SetValue(TByteView key, TPDFObject* value) {
  if (value == this) return;
  SetEntry(Owner()->CommonName(key), value);
}

void TPDFDictionary::Unlink(TByteView key) {
  int i = IndexOf(key);
  if (i >= 0) entries_.erase(entries_.begin() + i);
}

void TPDFDictionary::DeleteKey(TByteView key) {
  int i = IndexOf(key);
  if (i < 0) return;
  auto [name, value] = entries_[static_cast<std::size_t>(i)];
  entries_.erase(entries_.begin() + i);
  if (value && (As<TPDFDictionary>(value) || As<TPDFArray>(value))) value->Release();
  if (name && !TPDFStructure::IsSharedKeyName(name->Value)) name->Release();
}

void TPDFDictionary::CopyFrom(const TPDFDictionary* source) {
  if (!source || source == this) return;
  if (source->Owner() == Owner()) {
    entries_ = source->entries_;
    return;
  }
  if (auto* copy = As<TPDFDictionary>(Owner()->ParseObject(source->ToText()))) entries_ = copy->entries_;
}

void TPDFDictionary::WriteText(TBytes& out) const {
  out += "<<\n";
  for (const auto& [key, value] : entries_) {
    if (key) key->WriteText(out);
    out += ' ';
    if (value) value->WriteText(out);
    if (out.back() != '\n') out += '\n';
  }
  out += ">>\n";
}

void TPDFDictionary::Release() {
  for (const auto& [key, value] : entries_) {
    if (key) key->Release();
    if (value) value->Release();
  }
  TPDFObject::Release();
}

void TPDFDictionary::Renumber(int32_t delta) {
  for (const auto& entry : entries_)
    if (entry.second) entry.second->Renumber(delta);
}

bool TPDFDictionary::Refers(const TPDFObject* x) const {
  for (const auto& [key, value] : entries_)
    if (key == x || value == x) return true;
  return false;
}

// ---- streams

TPDFStream::TPDFStream(TPDFStructure* owner, TPDFDictionary* dict, TBytes data)
    : TPDFObject(owner, kTypeCode), dict_(dict ? dict : owner->NewDictionary()), data_(std::move(data)) {}

void TPDFStream::WriteText(TBytes& out) const {
  dict_->WriteText(out);
  out += "stream\n";
  out += Data();
  out += "\nendstream";
}

void TPDFStream::Release() {
  dict_->Release();
  TPDFObject::Release();
}

void TPDFStream::Renumber(int32_t delta) { dict_->Renumber(delta); }

bool TPDFStream::Refers(const TPDFObject* x) const { return x == dict_ || dict_->Refers(x); }

void TPDFStream::BorrowRawData(TByteView bytes) {
  data_.clear();
  borrowed_ = bytes;
}

void TPDFStream::SetRawData(TBytes bytes) {
  data_ = std::move(bytes);
  borrowed_.reset();
  double length = static_cast<double>(data_.size());
  if (auto* n = As<TPDFNumeric>(dict_->GetValue("Length", false))) {
    n->SetValue(length);
  } else {
    dict_->SetValue("Length", Owner()->NewNumeric(length));
  }
}

void TPDFStream::ReplaceDictionary(TPDFDictionary* dict) {
  if (!dict || dict == dict_) return;
  TPDFDictionary* old = dict_;
  dict_ = dict;
  old->Release();
}

// ---- references

void TPDFIndRef::WriteText(TBytes& out) const {
  out += std::to_string(RefObjNum);
  out += ' ';
  out += std::to_string(RefGenNum);
  out += " R";
}

TPDFObject* TPDFIndRef::Resolve() const {
  const auto& handler = Owner()->OnResolveRef;
  if (!handler) return nullptr;
  return handler(const_cast<TPDFIndRef*>(this), RefObjNum, RefGenNum);
}

}  // namespace kestrel
