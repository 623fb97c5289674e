#pragma once
// Glue shared by the JPEG decoder and encoder: an error manager that never exits the process
// or prints, and a destination that appends to a byte string.
//
// libjpeg reports fatal errors through error_exit, which must not return. Ours longjmps back to
// the setjmp of the routine driving libjpeg. That routine keeps every C++ object with a
// destructor outside the frames being jumped over, so the jump skips no destructor.
#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE and size_t

#include <jpeglib.h>

#include "engine/syntax/bytes.h"

namespace kestrel::dct {

struct TErrorManager {
  jpeg_error_mgr Pub;  // first: libjpeg hands back a pointer to this
  std::jmp_buf Jump;
  int Warnings = 0;
};

// Fills `err` and returns the pointer to store in cinfo.err.
jpeg_error_mgr* InstallErrorManager(TErrorManager& err);

// Aborts the running libjpeg call: jumps to the setjmp of `err`.
[[noreturn]] void Fail(j_common_ptr cinfo);

struct TByteDestination {
  jpeg_destination_mgr Pub;  // first
  TBytes* Out = nullptr;
  JOCTET Buffer[16384];
};

// Makes `cinfo` write its output to the end of `out`.
void UseByteDestination(j_compress_ptr cinfo, TByteDestination& dest, TBytes& out);

}  // namespace kestrel::dct
