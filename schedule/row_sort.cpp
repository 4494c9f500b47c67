#include "schedule/row_sort.h"

void QuickSortRows(int low, int high, const TRowText& text, const TRowExchange& exchange) {
  while (low < high) {
    const std::string pivot = text((low + high) / 2);
    int i = low;
    int j = high;
    do {
      while (text(i) < pivot) ++i;
      while (text(j) > pivot) --j;
      if (i <= j) {
        if (i != j) exchange(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    // low..j and i..high are sorted apart from each other, so the order in which they are
    // done does not change the result; recursing into the smaller part bounds the stack
    // depth by the logarithm of the row count even for unlucky pivots.
    if (j - low < high - i) {
      if (low < j) QuickSortRows(low, j, text, exchange);
      low = i;
    } else {
      if (i < high) QuickSortRows(i, high, text, exchange);
      high = j;
    }
  }
}
