// qvoResultCursor: the statement's current result as the fetch and GetData
// read it: the answer of the last request, the row blocks received with
// their row pointer table, the row counts, the cursor and rowset position,
// and the fetch's scratch and per-column cache.
//
// Rows reach the statement in row blocks, column-major: per column, per row a
// signed null flag byte (0: NULL, nothing follows) and the value, converted in
// place to host order when the block is indexed:
//   _SMALLDECIMAL          int32
//   _DECIMAL               int32 (precision <= 9) or int64: qvoTypeLen bytes
//   _BIGDECIMAL            two int64 halves (low half first)
//   _DOUBLE                double
//   _DATE                  day, month, int16 year
//   _TIMESTAMP(_UTC)       int16 year, month, day, hour, minute, second, int32 fraction
//   _CHAR, _VARCHAR        int32 byte length L, then L bytes
//   others (_BOOLEAN ...)  qvoTypeLen bytes unchanged
// ptrArray[c][r] (column c = 1..ptrArrayCols, row r = 1..resultRowCount)
// points at the value of row r of the current block (character types: at the
// length word; NULL: one past the flag); the null flag is always the byte
// just before the pointer. Row r of the block is result row
// resultRowCountStart + r - 1 (0-based). See RowValue / RowIsNull.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "protocol/qvoAnswerReader.h"
#include "qvo/qvoDefs.h"

struct qvoColumnConversions;
struct qvoResultCursorTestPeer;

// What one block call converts with: per rowset row the worst outcome of its
// columns, and one column's outcomes (kept so that a fetch allocates nothing
// once the rowset size is reached).
struct qvoFetchScratch {
  std::vector<unsigned char> fetchRowWorst;
  std::vector<unsigned char> fetchColumnOutcomes;
  // Room for `rows` rows; grows only when the rowset size does.
  void Prepare(std::size_t rows) {
    if (fetchRowWorst.size() < rows) fetchRowWorst.resize(rows);
    if (fetchColumnOutcomes.size() < rows) fetchColumnOutcomes.resize(rows);
  }
};

// GetData's piecewise retrieval of one column's text: the text converted
// once into stringBuffer, units of it delivered (gdTextLength + 1: all), the
// column it belongs to, its length in units (bytes, or 2-byte units for
// UTF-16), where a piece of it may end, and the length slot used when the
// caller gives none.
enum class qvoPieceEnds : unsigned char {
  AnyByte,    // one byte a character
  Utf8,       // UTF-8: never inside a sequence
  Utf16,      // UTF-16 in host order: never inside a surrogate pair
  Converted,  // a converter's code set: where the marks say, once made
};
struct qvoPiecewiseText {
  SQLINTEGER gdCurs = 0;
  SQLSMALLINT gdLastCol = 0;
  SQLLEN gdTextLength = 0;
  qvoPieceEnds gdEnds = qvoPieceEnds::AnyByte;
  bool gdEndsMarked = false;  // Converted: the marks behind the text are made
  bool gdTextIsWide = false;  // UTF-16 units, else bytes
  SQLLEN gdStrLen = 0;
  // stringBufferSize bytes of text, then the marks of its character ends
  // (iconverter::EndsBytes(stringBufferSize) bytes), freed together.
  std::unique_ptr<char[]> stringBuffer;
  int stringBufferSize = 0;

  unsigned char* Ends() const {
    return reinterpret_cast<unsigned char*>(stringBuffer.get() + stringBufferSize);
  }
  // A new row: the next call on any column starts its value anew.
  void Restart() {
    gdCurs = 0;
    gdLastCol = 0;
  }
  // A call on `column`: another column's pieces are forgotten.
  void Select(SQLSMALLINT column) {
    if (gdLastCol == column) return;
    gdCurs = 0;
    gdLastCol = column;
  }
};

// Rows of the current rowset that lay in blocks a later request of the same
// fetch replaced, copied out so that SetPos can still choose them (the
// rowset's last rows stay in the block held). The rows are consecutive; each
// piece holds the rows one block gave: per column their bytes copied as they
// lay in the block (null flags included), and the offset of each value in
// `bytes`. The storage is kept from fetch to fetch, so a fetch allocates only
// when a rowset keeps more than any before it.
struct qvoKeptRows {
  struct Piece {
    SQLBIGINT first = 0;  // 0-based result row
    SQLBIGINT rows = 0;
    SQLINTEGER columns = 0;
    size_t offsetBase = 0;  // offsets[offsetBase + (c - 1) * rows + i]: row first + i
  };
  std::vector<char> bytes;
  std::vector<size_t> offsets;
  std::vector<Piece> pieces;

  // The result row after the last one kept (first: none kept yet).
  SQLBIGINT End(SQLBIGINT first) const {
    return pieces.empty() ? first : pieces.back().first + pieces.back().rows;
  }
  // Another rowset: nothing kept (the storage stays).
  void Clear() {
    bytes.clear();
    offsets.clear();
    pieces.clear();
  }
  // Another result: the storage goes too.
  void Release() {
    std::vector<char>().swap(bytes);
    std::vector<size_t>().swap(offsets);
    std::vector<Piece>().swap(pieces);
  }
  // The value of result row `row` in column c, or null when it is not kept.
  void* Value(SQLINTEGER c, SQLBIGINT row);
};

// The statement fills the cursor from its answers, and the fetch, GetData
// and attribute code read and move it, all through the named calls below.
class qvoResultCursor {
 public:
  using ColumnConversionsPtr =
      std::unique_ptr<qvoColumnConversions, void (*)(qvoColumnConversions*)>;

  // The value of row r (1..resultRowCount) of column c (1..ptrArrayCols) in
  // the current block, or null when there is none; RowIsNull tells NULL.
  char* RowValue(SQLINTEGER c, SQLBIGINT r) const;
  bool RowIsNull(SQLINTEGER c, SQLBIGINT r) const;
  // Drops the row pointer table (its storage stays for the next block).
  void FreePointerArray();
  // Indexes a row block of `length` bytes (which RowBlockCanHold admitted)
  // holding resultRowCount rows of the columns blockLayout describes (values
  // converted in place). Bytes consumed, or -1 when the block does not hold
  // all its values (no table is then kept).
  SQLINTEGER IndexBlock(char* block, qvo_int64 length);

  // The next result row to fetch (0-based), and the rows of the result.
  SQLBIGINT Cursor() const { return cursor; }
  SQLUBIGINT NLines() const { return nLines; }
  // The cursor moved: a row SetPos chose is no longer the current row, and
  // at 0 (before the first row) there is no current rowset either.
  void SetCursor(SQLBIGINT row) {
    cursor = row;
    positionedRow = -1;
    pastEnd = false;
    if (row == 0) ClearRowset();
  }
  // A fetch or scroll found no rows: there is no current row until one
  // fetches rows again, though the cursor stays where the scroll put it.
  void NoCurrentRow() {
    ClearRowset();
    pastEnd = true;
  }
  void AdvanceCursor(SQLBIGINT rows) { cursor += rows; }

  // The current block: its first result row (0-based) and its row count;
  // whether it holds result row `row`.
  SQLBIGINT ResultRowCountStart() const { return resultRowCountStart; }
  SQLBIGINT ResultRowCount() const { return resultRowCount; }
  // A block request's rows: from `start` on, `count` of them (0 until a
  // block arrives).
  void SetBlockRows(SQLBIGINT start, SQLBIGINT count) {
    resultRowCountStart = start;
    resultRowCount = count;
  }
  bool BlockHolds(SQLBIGINT row) const {
    return row >= resultRowCountStart && row < resultRowCountStart + resultRowCount;
  }
  // Rows of the current block from result row `row` on (0-based, inside the
  // block), one entry per row, of column c (1..ptrArrayCols).
  void** ColumnFrom(SQLINTEGER c, SQLBIGINT row) const {
    return ptrArray[c] + (row - resultRowCountStart + 1);
  }
  void*** PtrArray() const { return ptrArray; }
  SQLINTEGER PtrArrayCols() const { return ptrArrayCols; }
  SQLBIGINT OldResultRowCount() const { return oldResultRowCount; }
  // Rows per block the server suggests.
  SQLBIGINT AnswerBlockSize() const { return qvoAnswerBlockSize; }
  SQLINTEGER AnswerLen() const { return qvoSocketAnswerLen; }
  const char* AnswerNewLines() const { return qvoAnswerNewLines.get(); }

  // The answer of the last request (replacing the one before, read from its
  // start), its bytes (0 when there is none) and how far it has been read.
  void TakeAnswer(std::unique_ptr<char[]> answer, SQLINTEGER length) {
    qvoSocketAnswerBuffer = std::move(answer);
    qvoSocketAnswerLen = length;
    answerPos = 0;
  }
  char* Answer() const { return qvoSocketAnswerBuffer.get(); }
  size_t AnswerBytes() const {
    return qvoSocketAnswerBuffer ? static_cast<size_t>(qvoSocketAnswerLen) : 0;
  }
  size_t AnswerPos() const { return answerPos; }
  void SetAnswerPos(size_t pos) { answerPos = pos; }
  // Nothing more of the answer is read.
  void SkipAnswer() { answerPos = static_cast<size_t>(qvoSocketAnswerLen); }
  void SetAnswerBlockSize(SQLBIGINT rows) { qvoAnswerBlockSize = rows; }

  // The last row block received (kept behind the pointer table) and its
  // bytes. SwapRows hands `rows` (with the bytes allocated behind it, 0:
  // unknown) in and the previous block back out.
  char* Rows() const { return qvoAnswerNewLines.get(); }
  size_t RowsLength() const { return static_cast<size_t>(qvoAnswerNewLinesLen); }
  void SwapRows(std::unique_ptr<char[]>& rows, size_t& capacity, qvo_int64 length) {
    std::swap(qvoAnswerNewLines, rows);
    std::swap(qvoAnswerNewLinesCapacity, capacity);
    qvoAnswerNewLinesLen = qvoAnswerNewLines && length > 0 ? (length & 0xFFFFFFFF) : 0;
  }
  // The columns of the blocks IndexBlock indexes: `columns` of them, each
  // set by SetBlockColumn (index 0-based).
  void SetBlockColumns(size_t columns) { blockLayout.resize(columns); }
  void SetBlockColumn(size_t index, qvoBlockColumn column) { blockLayout[index] = column; }
  // The rows of the current block (0: none, after a failed request).
  void SetBlockRowCount(SQLBIGINT rows) { resultRowCount = rows; }

  // A new result: no rows, the cursor at its start.
  void StartResult() {
    SetCursor(0);
    nLines = 0;
  }
  // A result set of `totalRows` rows whose first block holds `rowsHere`.
  void StartResultSet(SQLUBIGINT totalRows, SQLBIGINT rowsHere) {
    nLines = totalRows;
    resultRowCount = rowsHere;
    resultRowCountStart = 0;
    oldResultRowCount = 0;
  }
  // The rows of the result and the rows the statement affected (0: none
  // stated, or more than fit).
  void SetTotals(SQLUBIGINT lines, SQLINTEGER rowCount) {
    nLines = lines;
    sqlRowCount = rowCount;
  }
  SQLINTEGER SqlRowCount() const { return sqlRowCount; }
  void SetSqlRowCount(SQLINTEGER rowCount) { sqlRowCount = rowCount; }

  // The statement starts anew: answer, rows, their table and the bound
  // columns let go (the fetch cursor and the row count stay).
  void Reset() {
    nBoundColumns = 0;
    ClearRowset();
    NoteBindingChanged();
    qvoAnswerNewLines.reset();
    qvoAnswerNewLinesLen = 0;
    qvoAnswerNewLinesCapacity = 0;
    resultRowCount = 0;
    nLines = 0;
    FreePointerArray();
    ptrStorage.reset();
    ptrCapacity = 0;
    ptrTable = {};
    qvoSocketAnswerBuffer.reset();
    qvoSocketAnswerLen = 0;
    answerPos = 0;
    keptRows.Release();
  }

  // The current rowset and the row SetPos selected in it (-1 none).
  SQLBIGINT RowsetRows() const { return rowsetRows; }
  SQLBIGINT PositionedRow() const { return positionedRow; }
  // The row GetData reads (0-based): the one SetPos selected, else the
  // rowset's last.
  SQLBIGINT CurrentRow() const {
    if (pastEnd) return -1;
    return positionedRow >= 0 ? positionedRow : cursor - 1;
  }
  // Its number in the whole result (1-based; 0 before the first row).
  SQLBIGINT CurrentRowNumber() const { return CurrentRow() + 1; }
  // The value of the current row in column c (1..the block's columns): from
  // the block held, or from the rowset's rows kept; null when neither holds
  // it.
  void* CurrentValue(SQLINTEGER c);
  void SetRowset(SQLBIGINT start, SQLBIGINT rows) {
    rowsetStart = start;
    rowsetRows = rows;
    pastEnd = false;
  }
  // No rowset (a fetch starts, or the cursor closes).
  void ClearRowset() {
    rowsetRows = 0;
    positionedRow = -1;
    keptRows.Clear();
  }
  // A rowset that began at result row `first` goes on in another block:
  // its rows the block held (up to the cursor) are kept before the block is
  // replaced. One copy per column; nothing for a rowset within one block.
  void KeepRowsetRows(SQLBIGINT first);
  // SetPos: row 1..rowsetRows of the rowset; false when there is no such row.
  bool SelectRowsetRow(SQLBIGINT row) {
    if (row < 1 || row > rowsetRows) return false;
    positionedRow = rowsetStart + row - 1;
    return true;
  }

  // The bound columns as the fetch counted them (see nBoundColumns).
  bool BindingChanged() const { return bindingChanged; }
  void NoteBindingChanged() { bindingChanged = true; }
  bool BoundColumnsStale() const { return bindingChanged || nBoundColumns == 0; }
  void SetBoundColumns(int n) {
    nBoundColumns = n;
    bindingChanged = false;
  }
  int BoundColumns() const { return nBoundColumns; }

  qvoPiecewiseText& Piecewise() { return piecewise; }

  qvoFetchScratch& FetchScratch() { return fetchScratch; }
  ColumnConversionsPtr& ColumnConversions() { return columnConversions; }

 private:
  friend struct qvoResultCursorTestPeer;

  // The answer of the last request: 4-byte result count, then the results.
  std::unique_ptr<char[]> qvoSocketAnswerBuffer;
  SQLINTEGER qvoSocketAnswerLen = 0;
  size_t answerPos = 0;
  SQLBIGINT qvoAnswerBlockSize = 0;
  // The last row block received by a fetch request, with its length.
  std::unique_ptr<char[]> qvoAnswerNewLines;
  qvo_int64 qvoAnswerNewLinesLen = 0;
  size_t qvoAnswerNewLinesCapacity = 0;  // bytes allocated behind it; 0: unknown

  SQLBIGINT resultRowCount = 0;
  SQLINTEGER sqlRowCount = 0;
  SQLBIGINT resultRowCountStart = 0;
  SQLBIGINT cursor = 0;
  SQLUBIGINT nLines = 0;

  // ptrArray[c][r]: see the top of this file. Null while there is no table.
  void*** ptrArray = nullptr;
  SQLINTEGER ptrArrayCols = 0;
  SQLBIGINT oldResultRowCount = 0;

  qvoPiecewiseText piecewise;

  // The current rowset: its first result row (0-based) and its row count;
  // SetPos selects positionedRow (0-based result row, -1 none) inside it.
  SQLBIGINT rowsetStart = 0;
  SQLBIGINT rowsetRows = 0;
  SQLBIGINT positionedRow = -1;
  // The last fetch or scroll gave no rows (see NoCurrentRow).
  bool pastEnd = false;
  qvoKeptRows keptRows;
  qvoFetchScratch fetchScratch;
  // What the fetch layer keeps of each column between calls (its conversion
  // for the column's types); the type and its deleter are the fetch layer's.
  ColumnConversionsPtr columnConversions{nullptr, nullptr};

  // Row pointer storage behind ptrArray, kept from block to block (the
  // column arrays lie one after another in ptrStorage, ptrCapacity entries,
  // never cleared: the indexing pass writes every entry a block uses), and
  // the columns' layout as the indexing pass reads it.
  std::unique_ptr<void*[]> ptrStorage;
  size_t ptrCapacity = 0;
  std::vector<void**> ptrTable;
  std::vector<qvoBlockColumn> blockLayout;
  // The bound columns as the fetch counted them, and whether a binding
  // changed since (the count and the column conversions are then redone).
  int nBoundColumns = 0;
  bool bindingChanged = true;
};
