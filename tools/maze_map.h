// maze_map.h: a maze file cell by cell, as the program reads it: where the
// walker can go, the mistakes of its author, and its map as SVG.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "large_pages.h"
#include "world/maze.h"

// A place in the file: a 1-based line and a 1-based column.
struct FilePlace {
  int64_t line;
  int64_t column;
};

// The problems a maze may have many of. Of each kind, the first
// kProblemsListed are listed; the rest are counted, in one line of the
// kind's own, at line 0.
enum ProblemKind { kLongLineProblem, kLowerCaseProblem, kUnreachedProblem, kNumProblemKinds };
constexpr int64_t kProblemsListed = 10;

struct MazeProblem {
  FilePlace at;
  std::string text;
};

// The problems found: those listed, and a count of all of each kind.
struct ProblemList {
  std::vector<MazeProblem> listed;
  int64_t found[kNumProblemKinds] = {};
  // Counts one of the kind: true when it is to be listed.
  bool Count(ProblemKind kind) { return found[kind]++ < kProblemsListed; }
};

// The cells of a maze file, row by row as the reader takes them, rows and
// columns counted as whole numbers. Memory follows the cells: a row holds
// only the characters of its read.
struct MazeCells {
  std::vector<int64_t> rowStart{0};  // row r is cells[rowStart[r], rowStart[r + 1])
  std::vector<signed char> cells;    // a ComponentKind, or -1 for an empty cell
  std::vector<int64_t> continuations;  // rows that carry on the line above, rising
  bool continuesLine = false;          // the next row carries on the line of the last
  FilePlace nextRowAt = {1, 1};        // where the next row begins in the file
  int starts = 0;
  int64_t startRow = 0, startColumn = 0;  // the last start, or the first cell
  int64_t spaces = 0;                     // space cells, where throws land
  ProblemList problems;  // found in the text: its encoding, lower case, long lines

  int64_t Rows() const { return static_cast<int64_t>(rowStart.size()) - 1; }
  int64_t Length(int64_t row) const { return rowStart[row + 1] - rowStart[row]; }
  bool Holds(int64_t row, int64_t column) const {
    return row >= 0 && row < Rows() && column >= 0 && column < Length(row);
  }
  // What stands on a cell: -1 for an empty one, or one outside the rows.
  int Kind(int64_t row, int64_t column) const {
    return Holds(row, column) ? cells[rowStart[row] + column] : -1;
  }
  FilePlace PlaceOf(int64_t row, int64_t column) const;
  // As the tick's rule has it: only where there is a space cell to land on.
  bool TeleportsThrow() const { return spaces > 0; }
  // The first row of the line, or of the line after the last.
  int64_t FirstRowOfLine(int64_t line) const;
};

// Reads a maze file through the program's reader into the cells, a byte a
// cell. False, with errno set, when a read fails.
bool ReadMazeCells(FILE* file, MazeCells& cells);

// Cells by their place among all the cells, a bit each.
struct CellSet {
  std::vector<uint64_t> words;
  explicit CellSet(int64_t cells = 0) {
    size_t count = static_cast<size_t>((cells + 63) / 64);
    ReserveInLargePages(words, count);
    words.resize(count);
  }
  bool Has(int64_t i) const { return words[static_cast<size_t>(i >> 6)] >> (i & 63) & 1; }
  void Add(int64_t i) { words[static_cast<size_t>(i >> 6)] |= uint64_t{1} << (i & 63); }
};

// The cells a walker reaches from the start through the tick's steps, and
// whether it reaches the open ground outside the rows.
struct Reach {
  CellSet cell;
  bool outside = false;
};
Reach FindReach(const MazeCells& cells);

// The mistakes a maze author makes, in the order of the file: a missing
// start or several, a file saved as UTF-16 or with a byte-order mark, each
// region the walker cannot reach, lower-case cell letters, and lines longer
// than a row; then, at line 0, how many more of a kind were not listed.
std::vector<MazeProblem> CheckMaze(const MazeCells& cells);

// Writes the map of rows [firstRow, endRow) to out as SVG, one square a
// cell, the start ringed. False when it passed largest bytes, which stops it
// soon after, short. The caller checks out for errors.
bool WriteMapSvg(FILE* out, const MazeCells& cells, int64_t firstRow, int64_t endRow,
                 int64_t largest = INT64_MAX);
