// The goods file's encoding, decided before any goods line is read.
#pragma once

#include "goods/byte_source.h"
#include "text/text_encoding.h"

// A byte-order mark decides at once: UTF-8, UTF-16 little or big endian. Without one the
// whole file (up to an end-of-file byte 0x1A) is weighed, a piece at a time: it is UTF-8
// when its valid UTF-8 sequences of two bytes or more outnumber its invalid bytes at least
// ten to one (each invalid byte then reads as "?"), else Windows-1251. Leaves the source at
// its first byte (the mark, when there is one). False on a read error.
bool DetectGoodsEncoding(ByteSource& source, ByteOrderMark& found);
