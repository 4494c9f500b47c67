#pragma once
// The editor's sort of grid rows by the text of one column.

#include <functional>
#include <string>

using TRowText = std::function<std::string(int row)>;
using TRowExchange = std::function<void(int first, int second)>;

// Sorts rows low..high ascending by character codes (case-sensitive) with a quicksort
// whose pivot is the middle row's text; equal texts may change order. The grid is reached
// only through the row's text and the exchange of two whole rows.
void QuickSortRows(int low, int high, const TRowText& text, const TRowExchange& exchange);
