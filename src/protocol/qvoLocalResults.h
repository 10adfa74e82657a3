// Result sets the library answers itself, without the server, written in the
// server's result-set layout so that the ordinary answer parser, the fetch
// and GetData read them like any server result:
//
//   int32 result count 1, kind byte 1, int32 handle (negative: nothing to
//   close or fetch on the server), int32 column count, int64 total rows,
//   int64 rows in this message (the same), the column descriptions, then the
//   values column by column, each behind a flag byte (0 NULL, 1 a value).
//
// Columns are described as the server would: _VARCHAR as _CHAR with the
// character attributes 17 (varying, UTF-8), its size and four times the size
// as octet length; _DECIMAL and _SMALLDECIMAL with precision and scale;
// _TIMESTAMP with nothing more.
//
// The message grows as it is written (never past its end); Finish reports a
// message that could not be had.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "protocol/qvoPreparedMessage.h"
#include "qvo/qvoDefs.h"

// A calendar time as the _TIMESTAMP value carries it.
struct qvoTimestampValue {
  qvo_int16 year = 0;
  qvo_uint8 month = 0, day = 0, hour = 0, minute = 0, second = 0;
  qvo_int32 fraction = 0;  // nanoseconds
};

class qvoLocalResultWriter {
 public:
  // Header of a result set with `columns` columns; the row counts are
  // stamped by Finish.
  qvoLocalResultWriter(qvo_int32 handle, qvo_int32 columns);

  // One column description. columnSize: the VARCHAR size in characters or
  // the decimal precision; decimalDigits: the scale.
  void AddColumn(std::string_view columnName, qvo_int32 dataType, qvo_int32 columnSize,
                 qvo_int32 decimalDigits);
  // A _VARCHAR column whose octet length, the most bytes a value may take,
  // is given rather than four times its size in characters.
  void AddVarcharColumn(std::string_view columnName, qvo_int32 columnSize, qvo_int32 octetLength);

  // Values. The forms without indicator take -1 (integers) and a null or
  // empty text as NULL; the forms with one take NULL from ind == -1 only, so
  // -1 and the empty text can be written.
  void Add_SQLINTEGER(SQLINTEGER val);
  void Add_SQLINTEGER(SQLINTEGER val, SQLINTEGER ind);
  void Add_SQLBIGINT(SQLBIGINT val);
  void Add_SQLBIGINT(SQLBIGINT val, SQLINTEGER ind);
  void Add_SQLVARCHAR(const char* val);
  void Add_SQLVARCHAR(std::string_view val, SQLINTEGER ind);
  void Add_TIMESTAMP(const qvoTimestampValue& val);
  void AddNull();

  // Stamps `rows` as both row counts and hands the message over: true with
  // the buffer and its length, false when it could not be built (too large
  // or out of memory).
  bool Finish(qvo_int64 rows, std::unique_ptr<char[]>* answer, size_t* length);

 private:
  qvoMessageBuffer out_;
  size_t rowCountsAt_ = 0;
};
