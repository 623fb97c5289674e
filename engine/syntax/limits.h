#pragma once
// Bounds the object parser and the stream filters place on untrusted files. Each layer keeps
// its own bounds in one header: access_limits.h, graphics_limits.h, image_limits.h,
// renderer_limits.h.
#include <cstddef>
#include <cstdint>

namespace kestrel::limits {

// Nesting of arrays and dictionaries the parser follows before it stops reading.
inline constexpr int kMaxParseDepth = 256;

// Largest decoded size of one stream (every filter stage is capped at this). A stream that
// would decode to more is cut here: callers get partial data rather than an exhausted machine.
inline constexpr std::size_t kMaxDecodedStreamBytes = std::size_t{512} << 20;  // 512 MiB

// Bytes decoded for one page, all filter stages of all its streams counted (content streams,
// forms, images, shading data): a small file cannot make one page decode gigabytes, nor a
// chain of expanding filters spend seconds. A page that reaches it is drawn from what fit,
// and its render problem says so. A stream decoded outside a page (object streams, the
// cross-reference data) has kMaxDecodedStreamBytes for all the stages of its chain.
inline constexpr std::size_t kMaxDecodedBytesPerPage = std::size_t{512} << 20;  // 512 MiB

// What all the pages of one document may spend together (see document_budget.h): a base,
// plus an amount for every byte of the file. A document that uses it up has its later pages
// drawn from what is left, each saying so. The token and form allowances match the renderer's
// page limits (renderer_limits.h): two pages' worth for a small file.
inline constexpr std::size_t kDocumentDecodedBytes = std::size_t{1} << 30;  // 1 GiB
inline constexpr std::size_t kDocumentDecodedBytesPerFileByte = 64;
// A stream of at most kMaxRepeatDecodeBytes that an earlier page decoded in full (a logo or a
// slide's background on every page) is charged to the document at 1/kRepeatDecodeShare of its
// bytes when decoded again, so that long documents keep their shared pictures; larger streams,
// which no page needs again and again, are charged in full every time.
inline constexpr std::size_t kRepeatDecodeShare = 16;
inline constexpr std::size_t kMaxRepeatDecodeBytes = std::size_t{16} << 20;  // 16 MiB
inline constexpr std::size_t kDocumentTokens = 400'000'000;
inline constexpr std::size_t kDocumentTokensPerFileByte = 64;
inline constexpr std::size_t kDocumentFormInvocations = 400'000;
inline constexpr std::size_t kFileBytesPerFormInvocation = 16;

}  // namespace kestrel::limits
