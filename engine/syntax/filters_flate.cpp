// Flate (zlib) decoding and encoding.
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <memory>

#include "engine/syntax/filters.h"
#include "engine/syntax/filters_internal.h"
#include "engine/syntax/limits.h"

namespace kestrel {
namespace {

constexpr int kZlibWindowBits = 15;
constexpr int kRawWindowBits = -15;
constexpr std::size_t kMinInitialOutput = 4096;

// zlib counts in uInt; feed and drain it in pieces that fit.
uInt ClampToUInt(std::size_t n) {
  return static_cast<uInt>(std::min<std::size_t>(n, UINT_MAX));
}

// Owns one zlib stream; ends it on every exit.
template <bool kInflate>
class TZStream {
 public:
  explicit TZStream(int param) {
    ready_ = (kInflate ? inflateInit2(&stream_, param) : deflateInit(&stream_, param)) == Z_OK;
  }
  ~TZStream() {
    if (!ready_) return;
    if (kInflate) {
      inflateEnd(&stream_);
    } else {
      deflateEnd(&stream_);
    }
  }
  TZStream(const TZStream&) = delete;
  TZStream& operator=(const TZStream&) = delete;

  bool Ready() const { return ready_; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
};
using TInflater = TZStream<true>;
using TDeflater = TZStream<false>;

struct TInflateResult {
  TBytes Out;
  bool Failed = false;  // zlib reported corrupt data (the output up to that point is kept)
};

// One inflate pass. Stops at the end of the compressed stream, at the end of the input, at
// the first zlib error or at maxOut bytes; whatever was decoded until then is returned.
TInflateResult RunInflate(TByteView data, int windowBits, std::size_t maxOut) {
  TInflateResult result;
  TInflater inflater(windowBits);
  if (!inflater.Ready()) {
    result.Failed = true;
    return result;
  }
  z_stream& zs = inflater.Stream();

  // Content streams compress roughly 3-10x; start there and double, so big streams cost a
  // logarithmic number of reallocations.
  std::size_t initial = data.size() > maxOut / 4 ? maxOut : data.size() * 4;
  initial = std::min(std::max(initial, kMinInitialOutput), maxOut);
  TBytes& out = result.Out;
  out.resize(initial);

  std::size_t inPos = 0;
  std::size_t outPos = 0;
  for (;;) {
    if (zs.avail_in == 0 && inPos < data.size()) {
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + inPos));
      zs.avail_in = ClampToUInt(data.size() - inPos);
    }
    if (outPos == out.size()) {
      if (out.size() >= maxOut) break;  // capped: keep what fits
      out.resize(out.size() > maxOut / 2 ? maxOut : out.size() * 2);
    }
    const uInt inBefore = zs.avail_in;
    const uInt room = ClampToUInt(out.size() - outPos);
    zs.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
    zs.avail_out = room;
    const int rc = inflate(&zs, Z_NO_FLUSH);
    outPos += room - zs.avail_out;
    inPos += inBefore - zs.avail_in;

    if (rc == Z_STREAM_END) break;
    if (rc == Z_OK) {
      // Input used up with room left over: the stream was cut short.
      if (zs.avail_in == 0 && inPos == data.size() && zs.avail_out != 0) break;
      continue;
    }
    if (rc == Z_BUF_ERROR) break;  // no progress possible: truncated input
    result.Failed = true;          // Z_DATA_ERROR, Z_NEED_DICT, Z_MEM_ERROR, Z_STREAM_ERROR
    break;
  }
  out.resize(outPos);
  if (out.capacity() > kMinInitialOutput && out.capacity() - outPos > outPos / 2) {
    out.shrink_to_fit();
  }
  return result;
}

// RFC 1950 header: deflate method, window at most 32K, check bits, no preset dictionary.
bool HasUsableZlibHeader(TByteView data) {
  if (data.size() < 2) return false;
  const unsigned cmf = static_cast<unsigned char>(data[0]);
  const unsigned flg = static_cast<unsigned char>(data[1]);
  return (cmf & 0x0f) == 8 && (cmf >> 4) <= 7 && ((cmf << 8) | flg) % 31 == 0 &&
         (flg & 0x20) == 0;
}

// Inflate into the reader's buffers, as RunInflate does into one string.
class TInflateSource final : public TByteSource {
 public:
  TInflateSource(TByteView data, std::size_t maxOut)
      : inflater_(kZlibWindowBits), data_(data), left_(maxOut) {
    done_ = !inflater_.Ready();
  }

  std::size_t Read(std::span<char> out) override {
    if (fallback_) return ReadFallback(out);
    z_stream& zs = inflater_.Stream();
    std::size_t got = 0;
    while (got < out.size() && !done_ && left_ > 0) {
      if (zs.avail_in == 0 && inPos_ < data_.size()) {
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data_.data() + inPos_));
        zs.avail_in = ClampToUInt(data_.size() - inPos_);
      }
      const uInt inBefore = zs.avail_in;
      const uInt room = ClampToUInt(std::min(out.size() - got, left_));
      zs.next_out = reinterpret_cast<Bytef*>(out.data() + got);
      zs.avail_out = room;
      const int rc = inflate(&zs, Z_NO_FLUSH);
      got += room - zs.avail_out;
      left_ -= room - zs.avail_out;
      inPos_ += inBefore - zs.avail_in;
      const bool failed = rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR;
      if (failed && zs.total_out == 0) {
        // Corrupt before any output: the whole decoder's fallbacks get their chance.
        fallback_ = std::make_unique<TBytes>(filters_detail::Inflate(data_, left_));
        return ReadFallback(out);
      }
      // The end of the data, input cut short, no progress possible or corrupt data: what
      // came before stays.
      done_ = rc != Z_OK || (zs.avail_in == 0 && inPos_ == data_.size() && zs.avail_out != 0);
    }
    return got;
  }

 private:
  std::size_t ReadFallback(std::span<char> out) {
    const std::size_t n = std::min(out.size(), fallback_->size() - fallbackPos_);
    std::copy_n(fallback_->data() + fallbackPos_, n, out.data());
    fallbackPos_ += n;
    return n;
  }

  TInflater inflater_;
  TByteView data_;
  std::size_t left_;
  std::size_t inPos_ = 0;
  bool done_ = false;
  std::unique_ptr<TBytes> fallback_;
  std::size_t fallbackPos_ = 0;
};

}  // namespace

namespace filters_detail {

std::unique_ptr<TByteSource> InflateSource(TByteView data, std::size_t maxOut) {
  if (!HasUsableZlibHeader(data)) return nullptr;
  return std::make_unique<TInflateSource>(data, maxOut);
}

TBytes Inflate(TByteView data, std::size_t maxOut) {
  TInflateResult best = RunInflate(data, kZlibWindowBits, maxOut);
  if (!best.Failed) return std::move(best.Out);
  // Some writers damage or omit the zlib header. With a sound header, raw inflate would only
  // repeat the same deflate error, so the fallbacks run only when the header is the suspect.
  if (HasUsableZlibHeader(data) && !best.Out.empty()) return std::move(best.Out);
  if (data.size() > 2) {
    TInflateResult skipped = RunInflate(data.substr(2), kRawWindowBits, maxOut);
    if (skipped.Out.size() > best.Out.size()) best = std::move(skipped);
  }
  TInflateResult whole = RunInflate(data, kRawWindowBits, maxOut);
  if (whole.Out.size() > best.Out.size()) best = std::move(whole);
  return std::move(best.Out);
}

}  // namespace filters_detail

TBytes InflateBytes(TByteView data) {
  return filters_detail::Inflate(data, limits::kMaxDecodedStreamBytes);
}

TBytes InflateBytes(TByteView data, std::size_t maxOut) {
  return filters_detail::Inflate(data, std::min(maxOut, limits::kMaxDecodedStreamBytes));
}

TBytes InflatePredicted(TByteView data, const TPDFFlateParms& parms) {
  return ApplyPredictor(InflateBytes(data), parms);
}

TBytes DeflateBytes(TByteView data) {
  TDeflater deflater(Z_DEFAULT_COMPRESSION);
  if (!deflater.Ready()) return {};
  z_stream& zs = deflater.Stream();
  TBytes out;
  out.resize(std::max<std::size_t>(deflateBound(&zs, ClampToUInt(data.size())), 64));
  std::size_t inPos = 0;
  std::size_t outPos = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (zs.avail_in == 0 && inPos < data.size()) {
      zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + inPos));
      zs.avail_in = ClampToUInt(data.size() - inPos);
    }
    if (outPos == out.size()) out.resize(out.size() * 2);
    const uInt inBefore = zs.avail_in;
    const uInt room = ClampToUInt(out.size() - outPos);
    zs.next_out = reinterpret_cast<Bytef*>(out.data() + outPos);
    zs.avail_out = room;
    const bool lastInput = inPos + inBefore == data.size();
    rc = deflate(&zs, lastInput ? Z_FINISH : Z_NO_FLUSH);
    outPos += room - zs.avail_out;
    inPos += inBefore - zs.avail_in;
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return {};
  }
  out.resize(outPos);
  return out;
}

}  // namespace kestrel
