#pragma once
// The GIF LZW encoder: the dictionary maps (prefix code, pixel) pairs to codes, and a clear
// code is sent when the next free code would be 4095, one code before the 12-bit table is
// full. Strings of one repeated index are kept in run chains; the others in a table read
// directly for up to 16 colours, else in a hash table.

#include <cstdint>
#include <memory>

#include "gif/gif_encoder.h"
#include "gif/lzw_direct_table.h"
#include "gif/lzw_hash_table.h"
#include "gif/lzw_run_chains.h"

class TLZWEncoder : public TGIFEncoder {
 protected:
  void Compress() override;

 private:
  template <class Table>
  void CompressWith(Table& table);

  // Strings of one repeated index are kept here instead of in the table.
  TRunChains runChains_;
};
