// The goods file's encoding, decided before any goods line is read.
#pragma once

#include "goods/byte_source.h"
#include "text/text_encoding.h"

// A byte-order mark decides at once: UTF-8, UTF-16 little or big endian. Without one the
// file is UTF-8 when all of it (up to an end-of-file byte 0x1A) is valid UTF-8 with at least
// one byte of 0x80 or more, else Windows-1251; that takes one pass over the file, a piece at
// a time. Leaves the source at its first byte (the mark, when there is one). False on a read
// error.
bool DetectGoodsEncoding(ByteSource& source, ByteOrderMark& found);
