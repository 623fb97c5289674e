#pragma once
// Builds small PDF files from hand-written object texts, filling in offsets and lengths, so a
// test shows exactly which bytes it feeds the engine.
#include <map>
#include <string>
#include <vector>

namespace testpdf {

class PdfBuilder {
 public:
  // Object `num` with the text between "obj" and "endobj".
  PdfBuilder& Object(int num, const std::string& body);
  // A stream object; "/Length" is added to the dictionary entries `dictEntries`.
  PdfBuilder& Stream(int num, const std::string& dictEntries, const std::string& data);
  // Puts objects into one object stream `streamNum` instead of the file body (needs XRefStream).
  PdfBuilder& Compressed(int streamNum, const std::vector<int>& objects);
  PdfBuilder& TrailerEntries(const std::string& entries) {
    trailerExtra_ = entries;
    return *this;
  }
  PdfBuilder& Header(const std::string& header) {
    header_ = header;
    return *this;
  }
  PdfBuilder& Prefix(const std::string& junk) {
    prefix_ = junk;
    return *this;
  }
  PdfBuilder& Suffix(const std::string& junk) {
    suffix_ = junk;
    return *this;
  }
  // Entries ending in a single LF (19 bytes) instead of the usual two characters.
  PdfBuilder& ShortEntries(bool on = true) {
    shortEntries_ = on;
    return *this;
  }
  PdfBuilder& XRefStream(bool on = true) {
    xrefStream_ = on;
    return *this;
  }
  // Shifts the startxref value by `delta` bytes (a slightly wrong offset).
  PdfBuilder& StartXRefShift(int delta) {
    startShift_ = delta;
    return *this;
  }

  std::string Build() const;
  // Appends an incremental update holding `objects` (num -> body) to a built file.
  static std::string AppendUpdate(const std::string& file, const std::map<int, std::string>& objects,
                                  const std::string& trailerEntries);

 private:
  std::map<int, std::string> objects_;
  std::map<int, std::vector<int>> objectStreams_;
  std::string trailerExtra_;
  std::string header_ = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
  std::string prefix_;
  std::string suffix_;
  bool shortEntries_ = false;
  bool xrefStream_ = false;
  int startShift_ = 0;
};

// A document with `pages` pages in a flat page tree; each page's content is `content`.
std::string SimpleDocument(int pages, const std::string& content = "0 0 m 10 10 l S");

// A balanced page tree of `pages` pages with at most `fanout` kids per node.
std::string BalancedTreeDocument(int pages, int fanout);

}  // namespace testpdf
