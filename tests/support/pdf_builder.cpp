#include "support/pdf_builder.h"

#include <cstdio>
#include <functional>
#include <set>
#include <zlib.h>

namespace testpdf {

namespace {

std::string Pad10(long v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%010ld", v);
  return buf;
}

std::string Deflate(const std::string& in) {
  uLongf len = compressBound(static_cast<uLong>(in.size()));
  std::string out(len, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(in.data()),
            static_cast<uLong>(in.size()), 6);
  out.resize(len);
  return out;
}

}  // namespace

PdfBuilder& PdfBuilder::Object(int num, const std::string& body) {
  objects_[num] = body;
  return *this;
}

PdfBuilder& PdfBuilder::Stream(int num, const std::string& dictEntries, const std::string& data) {
  objects_[num] = "<< " + dictEntries + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                  "\nendstream";
  return *this;
}

PdfBuilder& PdfBuilder::Compressed(int streamNum, const std::vector<int>& objects) {
  objectStreams_[streamNum] = objects;
  return *this;
}

std::string PdfBuilder::Build() const {
  std::set<int> compressed;
  for (const auto& [s, list] : objectStreams_) compressed.insert(list.begin(), list.end());

  std::string out = prefix_ + header_;
  std::map<int, long> offsets;
  std::map<int, std::pair<int, int>> inStream;  // object -> (stream, index)
  for (const auto& [num, body] : objects_) {
    if (compressed.count(num)) continue;
    offsets[num] = static_cast<long>(out.size());
    out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
  }
  for (const auto& [streamNum, list] : objectStreams_) {
    std::string header, data;
    int index = 0;
    for (int num : list) {
      auto it = objects_.find(num);
      if (it == objects_.end()) continue;
      header += std::to_string(num) + " " + std::to_string(data.size()) + " ";
      data += it->second + "\n";
      inStream[num] = {streamNum, index++};
    }
    std::string content = header + data;
    offsets[streamNum] = static_cast<long>(out.size());
    out += std::to_string(streamNum) + " 0 obj\n<< /Type /ObjStm /N " + std::to_string(index) + " /First " +
           std::to_string(header.size()) + " /Length " + std::to_string(content.size()) + " >>\nstream\n" +
           content + "\nendstream\nendobj\n";
  }
  int size = 1;
  for (const auto& [num, off] : offsets) size = std::max(size, num + 1);
  for (const auto& [num, loc] : inStream) size = std::max(size, num + 1);

  long xrefOffset = static_cast<long>(out.size());
  if (!xrefStream_) {
    out += "xref\n0 " + std::to_string(size) + "\n";
    const std::string eol = shortEntries_ ? "\n" : " \n";
    out += "0000000000 65535 f" + eol;
    for (int n = 1; n < size; ++n) {
      auto it = offsets.find(n);
      if (it != offsets.end())
        out += Pad10(it->second) + " 00000 n" + eol;
      else
        out += "0000000000 65535 f" + eol;
    }
    out += "trailer\n<< /Size " + std::to_string(size) + " " + trailerExtra_ + " >>\n";
  } else {
    const int xrefNum = size;
    ++size;
    offsets[xrefNum] = xrefOffset;
    std::string rows;
    auto row = [&rows](int type, long f2, int f3) {
      rows += static_cast<char>(type);
      for (int shift = 24; shift >= 0; shift -= 8) rows += static_cast<char>((f2 >> shift) & 0xFF);
      rows += static_cast<char>((f3 >> 8) & 0xFF);
      rows += static_cast<char>(f3 & 0xFF);
    };
    for (int n = 0; n < size; ++n) {
      if (auto c = inStream.find(n); c != inStream.end())
        row(2, c->second.first, c->second.second);
      else if (auto o = offsets.find(n); o != offsets.end())
        row(1, o->second, 0);
      else
        row(0, 0, n == 0 ? 65535 : 0);
    }
    std::string packed = Deflate(rows);
    out += std::to_string(xrefNum) + " 0 obj\n<< /Type /XRef /Size " + std::to_string(size) +
           " /W [1 4 2] /Filter /FlateDecode /Length " + std::to_string(packed.size()) + " " + trailerExtra_ +
           " >>\nstream\n" + packed + "\nendstream\nendobj\n";
  }
  out += "startxref\n" + std::to_string(xrefOffset + startShift_) + "\n%%EOF\n" + suffix_;
  return out;
}

std::string PdfBuilder::AppendUpdate(const std::string& file, const std::map<int, std::string>& objects,
                                     const std::string& trailerEntries) {
  std::size_t sx = file.rfind("startxref");
  long prev = std::stol(file.substr(sx + 9));
  std::string out = file;
  std::map<int, long> offsets;
  int size = 0;
  for (const auto& [num, body] : objects) {
    offsets[num] = static_cast<long>(out.size());
    out += std::to_string(num) + " 0 obj\n" + body + "\nendobj\n";
    size = std::max(size, num + 1);
  }
  long xref = static_cast<long>(out.size());
  out += "xref\n";
  for (const auto& [num, off] : offsets) out += std::to_string(num) + " 1\n" + Pad10(off) + " 00000 n \n";
  out += "trailer\n<< /Size " + std::to_string(size) + " /Prev " + std::to_string(prev) + " " + trailerEntries +
         " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return out;
}

std::string SimpleDocument(int pages, const std::string& content) {
  PdfBuilder b;
  std::string kids;
  for (int i = 0; i < pages; ++i) kids += std::to_string(3 + 2 * i) + " 0 R ";
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pages) + " >>");
  for (int i = 0; i < pages; ++i) {
    b.Object(3 + 2 * i, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Contents " +
                            std::to_string(4 + 2 * i) + " 0 R >>");
    b.Stream(4 + 2 * i, "", content);
  }
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

std::string BalancedTreeDocument(int pages, int fanout) {
  PdfBuilder b;
  int next = 3;
  // Builds the subtree for pages [first, first + count) under parent; returns its object number.
  std::function<int(int, int, int)> build = [&](int first, int count, int parent) -> int {
    if (count == 1) {
      int num = next++;
      b.Object(num, "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R /MediaBox [0 0 200 100] >>");
      return num;
    }
    int num = next++;
    int per = 1;
    while (per * fanout < count) per *= fanout;
    std::string kids;
    for (int start = 0; start < count; start += per) {
      int n = std::min(per, count - start);
      kids += std::to_string(build(first + start, n, num)) + " 0 R ";
    }
    std::string parentEntry = parent ? "/Parent " + std::to_string(parent) + " 0 R " : "";
    b.Object(num, "<< /Type /Pages " + parentEntry + "/Kids [" + kids + "] /Count " + std::to_string(count) + " >>");
    return num;
  };
  int root = build(0, pages, 0);
  b.Object(1, "<< /Type /Catalog /Pages " + std::to_string(root) + " 0 R >>");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

}  // namespace testpdf
