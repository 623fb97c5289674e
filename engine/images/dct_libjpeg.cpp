#include "engine/images/dct_libjpeg.h"

#include <new>

namespace kestrel::dct {

namespace {

void ErrorExit(j_common_ptr cinfo) { Fail(cinfo); }

void EmitMessage(j_common_ptr cinfo, int level) {
  // Negative levels are warnings about damaged data; decoding goes on with what is there.
  if (level < 0) ++reinterpret_cast<TErrorManager*>(cinfo->err)->Warnings;
}

void OutputMessage(j_common_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteDestination*>(cinfo->dest);
  dest->Pub.next_output_byte = dest->Buffer;
  dest->Pub.free_in_buffer = sizeof dest->Buffer;
}

// Appends `n` buffered bytes; false when memory ran out.
bool Flush(TByteDestination* dest, std::size_t n) {
  try {
    dest->Out->append(reinterpret_cast<const char*>(dest->Buffer), n);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteDestination*>(cinfo->dest);
  // No exception may cross libjpeg's C frames: a failed append becomes a libjpeg error.
  if (!Flush(dest, sizeof dest->Buffer)) Fail(reinterpret_cast<j_common_ptr>(cinfo));
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<TByteDestination*>(cinfo->dest);
  if (!Flush(dest, sizeof dest->Buffer - dest->Pub.free_in_buffer)) {
    Fail(reinterpret_cast<j_common_ptr>(cinfo));
  }
}

}  // namespace

jpeg_error_mgr* InstallErrorManager(TErrorManager& err) {
  jpeg_error_mgr* pub = jpeg_std_error(&err.Pub);
  pub->error_exit = ErrorExit;
  pub->emit_message = EmitMessage;
  pub->output_message = OutputMessage;
  err.Warnings = 0;
  return pub;
}

void Fail(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<TErrorManager*>(cinfo->err)->Jump, 1);
}

void UseByteDestination(j_compress_ptr cinfo, TByteDestination& dest, TBytes& out) {
  dest.Out = &out;
  dest.Pub.init_destination = InitDestination;
  dest.Pub.empty_output_buffer = EmptyOutputBuffer;
  dest.Pub.term_destination = TermDestination;
  cinfo->dest = &dest.Pub;
}

}  // namespace kestrel::dct
