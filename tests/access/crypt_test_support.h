#pragma once
// Helpers for the security handler tests: hex, a tiny PDF writer, running qpdf, and reading
// the few values the tests need back out of a file qpdf wrote (classic xref, no object
// streams, so every object is plain text apart from stream data).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/access/crypt_record.h"
#include "engine/syntax/bytes.h"

namespace kestrel::crypt_test {

inline std::string Hex(TByteView b) {
  static const char* kDigits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : b) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

inline TBytes Unhex(std::string_view h) {
  TBytes out;
  int hi = -1;
  for (unsigned char c : h) {
    const int v = HexValue(c);
    if (v < 0) continue;
    if (hi < 0) {
      hi = v;
    } else {
      out.push_back(static_cast<char>(hi * 16 + v));
      hi = -1;
    }
  }
  if (hi >= 0) out.push_back(static_cast<char>(hi * 16));
  return out;
}

// A PDF with a classic cross-reference table. Objects are numbered from 1 in order.
inline std::string WritePDF(const std::vector<std::string>& objects, const std::string& trailer) {
  std::string out = "%PDF-1.7\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(out.size());
    out += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = out.size();
  out += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (std::size_t off : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", off);
    out += line;
  }
  out += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " " + trailer +
         " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

inline constexpr const char* kTitle = "Hello Title";
inline constexpr const char* kContent = "0 0 1 rg 0 0 50 50 re f\n";

// Catalog, pages, page, content stream (object 4) and info (object 5).
inline std::vector<std::string> PlainObjects(const std::string& title, const std::string& content) {
  return {
      "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
      "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
      "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
      "<< /Title " + title + " >>"};
}

class TTempDir {
 public:
  TTempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrel-crypt-XXXXXX").string();
    if (char* p = mkdtemp(tmpl.data())) path_ = p;
  }
  ~TTempDir() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Single-quotes an argument for the shell.
inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct TRun {
  int Status = -1;
  std::string Output;
};

inline TRun RunCommand(const std::string& command) {
  TRun r;
  struct TPipeClose {
    void operator()(FILE* f) const { pclose(f); }
  };
  FILE* raw = popen((command + " 2>&1").c_str(), "r");
  if (!raw) return r;
  std::unique_ptr<FILE, TPipeClose> pipe(raw);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe.get())) > 0) r.Output.append(buf, n);
  r.Status = pclose(pipe.release());
  return r;
}

inline bool HaveQpdf() { return RunCommand("qpdf --version").Status == 0; }

// The file key qpdf derives for `password`, or nullopt when qpdf rejects the password.
inline std::optional<TBytes> QpdfFileKey(const std::string& file, const std::string& password) {
  const TRun r =
      RunCommand("qpdf --show-encryption-key --show-encryption --password=" + Quote(password) +
                 " " + Quote(file));
  static constexpr std::string_view kLabel = "Encryption key = ";
  const std::size_t at = r.Output.find(kLabel);
  if (at == std::string::npos) return {};
  const std::size_t from = at + kLabel.size();
  const std::size_t to = r.Output.find_first_not_of("0123456789abcdef", from);
  if (to == from) return {};
  return Unhex(std::string_view(r.Output).substr(from, to - from));
}

// Reads one PDF string token (literal or hex) at the start of `s`.
inline std::optional<TBytes> ParseString(std::string_view s) {
  if (s.empty()) return {};
  if (s[0] == '<') {
    const auto end = s.find('>');
    if (end == std::string_view::npos) return {};
    return Unhex(s.substr(1, end - 1));
  }
  if (s[0] != '(') return {};
  TBytes out;
  int depth = 1;
  for (std::size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\\' && i + 1 < s.size()) {
      c = s[++i];
      switch (c) {
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case '\r':
          if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
          break;
        case '\n': break;
        default:
          if (c >= '0' && c <= '7') {
            int v = 0;
            int digits = 0;
            while (digits < 3 && i < s.size() && s[i] >= '0' && s[i] <= '7') {
              v = v * 8 + (s[i++] - '0');
              ++digits;
            }
            --i;
            out += static_cast<char>(v & 0xFF);
          } else {
            out += c;
          }
      }
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth == 0) return out;
    out += c;
  }
  return {};
}

// The text after the key `name` in `body` ("/O" does not match "/OE"), whitespace skipped.
inline std::optional<std::string_view> ValueAfter(std::string_view body, std::string_view name) {
  for (std::size_t at = body.find(name); at != std::string_view::npos;
       at = body.find(name, at + 1)) {
    const std::size_t end = at + name.size();
    if (end < body.size() && !IsPDFWhitespace(body[end]) && !IsPDFDelimiter(body[end])) continue;
    std::size_t v = end;
    while (v < body.size() && IsPDFWhitespace(body[v])) ++v;
    return body.substr(v);
  }
  return {};
}

inline std::optional<long long> IntAfter(std::string_view body, std::string_view name) {
  auto v = ValueAfter(body, name);
  if (!v) return {};
  try {
    return std::stoll(std::string(v->substr(0, 24)));
  } catch (...) {
    return {};
  }
}

inline std::string NameAfter(std::string_view body, std::string_view name) {
  auto v = ValueAfter(body, name);
  if (!v || v->empty() || (*v)[0] != '/') return {};
  std::size_t e = 1;
  while (e < v->size() && !IsPDFWhitespace((*v)[e]) && !IsPDFDelimiter((*v)[e])) ++e;
  return std::string(v->substr(1, e - 1));
}

// An encrypted file as qpdf wrote it: object bodies by number, and the trailer.
struct TParsedFile {
  std::vector<std::pair<int, std::string>> Objects;
  std::string Trailer;

  std::string Body(int num) const {
    for (const auto& [n, b] : Objects)
      if (n == num) return b;
    return {};
  }
  int RefAfter(std::string_view where, std::string_view key) const {
    auto v = IntAfter(where, key);
    return v ? static_cast<int>(*v) : 0;
  }
  // The raw (still encrypted) data of the stream object `num`.
  TBytes StreamData(int num) const {
    const std::string b = Body(num);
    auto len = IntAfter(b, "/Length");
    std::size_t at = b.find("stream");
    if (!len || at == std::string::npos) return {};
    at += 6;
    if (at < b.size() && b[at] == '\r') ++at;
    if (at < b.size() && b[at] == '\n') ++at;
    return b.substr(at, static_cast<std::size_t>(*len));
  }
};

inline TParsedFile ParseFile(const std::string& pdf) {
  TParsedFile f;
  // Object headers "N 0 obj" at the start of a line.
  for (std::size_t at = pdf.find(" 0 obj"); at != std::string::npos;
       at = pdf.find(" 0 obj", at + 1)) {
    std::size_t digits = at;
    while (digits > 0 && IsDigit(pdf[digits - 1])) --digits;
    if (digits == at || (digits > 0 && pdf[digits - 1] != '\n' && pdf[digits - 1] != '\r'))
      continue;
    const std::size_t start = at + 6;
    const std::size_t end = pdf.find("endobj", start);
    if (end == std::string::npos) break;
    f.Objects.emplace_back(std::stoi(pdf.substr(digits, at - digits)),
                           pdf.substr(start, end - start));
  }
  const std::size_t t = pdf.rfind("trailer");
  if (t != std::string::npos) f.Trailer = pdf.substr(t);
  return f;
}

inline TCryptMethod MethodFromName(const std::string& cfm) {
  if (cfm == "V2") return TCryptMethod::RC4;
  if (cfm == "AESV2") return TCryptMethod::AESV2;
  if (cfm == "AESV3") return TCryptMethod::AESV3;
  return TCryptMethod::None;
}

// The record of the file's Encrypt dictionary and first ID (a test-side stand-in for the
// document layer: one crypt filter for strings and streams, as qpdf writes them).
inline TSmartPDFEncryption RecordOf(const TParsedFile& f) {
  TSmartPDFEncryption rec;
  const std::string enc = f.Body(f.RefAfter(f.Trailer, "/Encrypt"));
  rec.V = static_cast<int32_t>(IntAfter(enc, "/V").value_or(0));
  rec.R = static_cast<int32_t>(IntAfter(enc, "/R").value_or(0));
  rec.LengthBits = static_cast<int32_t>(IntAfter(enc, "/Length").value_or(40));
  rec.P = static_cast<int32_t>(static_cast<uint32_t>(IntAfter(enc, "/P").value_or(0)));
  for (auto [key, field] : {std::pair{"/O", &rec.O},
                            {"/U", &rec.U},
                            {"/OE", &rec.OE},
                            {"/UE", &rec.UE},
                            {"/Perms", &rec.Perms}}) {
    if (auto v = ValueAfter(enc, key)) *field = ParseString(*v).value_or(TBytes{});
  }
  if (auto v = ValueAfter(enc, "/EncryptMetadata"))
    rec.EncryptMetadata = v->substr(0, 5) != "false";
  if (rec.V >= 4) {
    rec.StreamMethod = rec.StringMethod = MethodFromName(NameAfter(enc, "/CFM"));
  }
  if (auto id = ValueAfter(f.Trailer, "/ID")) {
    const std::size_t open = id->find_first_of("<(");
    if (open != std::string_view::npos) rec.FileID0 = ParseString(id->substr(open)).value_or("");
  }
  return rec;
}

}  // namespace kestrel::crypt_test
