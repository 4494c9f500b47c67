#pragma once
// Fixed-column lines: every field sits at fixed character positions, padded with spaces.

#include <array>
#include <initializer_list>
#include <string>
#include <vector>

#include "runtime/strings.h"

struct TFixedColumn {
  int start;            // 1-based position of the field's first character
  size_t writtenWidth;  // characters written, padded or cut
  int readWidth;        // characters cut when reading (some readers take fewer)
};

// Each cell padded with spaces or cut to its written width, concatenated, without the
// trailing blanks of the result: an entirely empty row gives an empty line.
template <size_t N>
std::string WriteFixedColumns(const std::array<std::string, N>& cells,
                              const std::array<TFixedColumn, N>& columns) {
  std::string line;
  for (size_t i = 0; i < N; ++i) line += FixWidth(cells[i], columns[i].writtenWidth);
  return TrimRight(line);
}

// Each column cut at its start and read width and trimmed; cutting past the end of the
// line yields what exists, or an empty field.
template <size_t N>
std::array<std::string, N> CutFixedColumns(const std::string& line,
                                           const std::array<TFixedColumn, N>& columns) {
  std::array<std::string, N> cells;
  for (size_t i = 0; i < N; ++i)
    cells[i] = Trim(Copy(line, columns[i].start, columns[i].readWidth));
  return cells;
}

// The rows of the lines that counts accepts, each cut into its columns.
template <class Row, size_t N, class Counts>
std::vector<Row> ReadFixedRows(const std::vector<std::string>& lines,
                               const std::array<TFixedColumn, N>& columns, Counts counts) {
  std::vector<Row> rows;
  for (const std::string& line : lines)
    if (counts(line)) rows.push_back({CutFixedColumns(line, columns)});
  return rows;
}

// Why a row cannot be saved as it is: "the URL is 151 characters long; its column holds
// 140" for the first of the checked cells that is longer than what its column gives back
// when read, which a save would cut; empty when they all fit.
template <size_t N>
std::string CellTooLong(const std::array<std::string, N>& cells,
                        const std::array<TFixedColumn, N>& columns,
                        const std::array<const char*, N>& titles,
                        std::initializer_list<size_t> checked) {
  for (const size_t i : checked)
    if (cells[i].size() > static_cast<size_t>(columns[i].readWidth))
      return std::string("the ") + titles[i] + " is " + std::to_string(cells[i].size()) +
             " characters long; its column holds " + std::to_string(columns[i].readWidth);
  return {};
}
