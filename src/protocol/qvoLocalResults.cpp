#include "protocol/qvoLocalResults.h"

#include <cstring>

#include "common/qvoTypeCodes.h"
#include "protocol/qvoAnswerReader.h"

namespace {

constexpr qvo_int8 kNullFlag = 0;
constexpr qvo_int8 kValueFlag = 1;
// Character attributes of a described text column: varying, UTF-8.
constexpr qvo_int8 kVaryingUtf8 = 0x11;

}  // namespace

qvoLocalResultWriter::qvoLocalResultWriter(qvo_int32 handle, qvo_int32 columns) {
  out_.Int32(1);  // one result
  out_.Int8(QVO_KIND_RESULT_SET);
  out_.Int32(handle);
  out_.Int32(columns);
  rowCountsAt_ = out_.Size();
  out_.Int64(0);
  out_.Int64(0);
}

void qvoLocalResultWriter::AddVarcharColumn(std::string_view columnName, qvo_int32 columnSize,
                                            qvo_int32 octetLength) {
  out_.Int32(static_cast<qvo_int32>(columnName.size()));
  out_.Bytes(columnName.data(), columnName.size());
  out_.Int32(_CHAR);
  out_.Int8(kVaryingUtf8);
  out_.Int32(columnSize);
  out_.Int32(octetLength);
}

void qvoLocalResultWriter::AddColumn(std::string_view columnName, qvo_int32 dataType,
                                     qvo_int32 columnSize, qvo_int32 decimalDigits) {
  if (dataType == _VARCHAR)
    return AddVarcharColumn(columnName, columnSize,
                            static_cast<qvo_int32>(4 * static_cast<qvo_int64>(columnSize)));
  out_.Int32(static_cast<qvo_int32>(columnName.size()));
  out_.Bytes(columnName.data(), columnName.size());
  switch (dataType) {
    case _DECIMAL:
    case _SMALLDECIMAL:
      out_.Int32(dataType);
      out_.Int32(columnSize);
      out_.Int32(decimalDigits);
      break;
    default:
      out_.Int32(dataType);
      break;
  }
}

void qvoLocalResultWriter::AddNull() { out_.Int8(kNullFlag); }

void qvoLocalResultWriter::Add_SQLINTEGER(SQLINTEGER val) { Add_SQLINTEGER(val, val); }

void qvoLocalResultWriter::Add_SQLINTEGER(SQLINTEGER val, SQLINTEGER ind) {
  if (ind == SQL_NULL_DATA) return AddNull();
  out_.Int8(kValueFlag);
  out_.Int32(val);
}

void qvoLocalResultWriter::Add_SQLBIGINT(SQLBIGINT val) {
  Add_SQLBIGINT(val, val == -1 ? SQL_NULL_DATA : 0);
}

void qvoLocalResultWriter::Add_SQLBIGINT(SQLBIGINT val, SQLINTEGER ind) {
  if (ind == SQL_NULL_DATA) return AddNull();
  out_.Int8(kValueFlag);
  out_.Int64(val);
}

void qvoLocalResultWriter::Add_SQLVARCHAR(const char* val) {
  if (!val || !*val) return AddNull();
  Add_SQLVARCHAR(std::string_view(val), 0);
}

void qvoLocalResultWriter::Add_SQLVARCHAR(std::string_view val, SQLINTEGER ind) {
  if (ind == SQL_NULL_DATA) return AddNull();
  out_.Int8(kValueFlag);
  // A text beyond the length field cannot fit the message either: the
  // bytes fail it, so the cut length never goes out.
  out_.Int32(static_cast<qvo_int32>(val.size()));
  out_.Bytes(val.data(), val.size());
}

void qvoLocalResultWriter::Add_TIMESTAMP(const qvoTimestampValue& val) {
  out_.Int8(kValueFlag);
  out_.Int16(val.year);
  for (qvo_uint8 b : {val.month, val.day, val.hour, val.minute, val.second})
    out_.Int8(static_cast<qvo_int8>(b));
  out_.Int32(val.fraction);
}

bool qvoLocalResultWriter::Finish(qvo_int64 rows, std::unique_ptr<char[]>* answer, size_t* length) {
  if (out_.Failed()) return false;
  out_.PatchInt64(rowCountsAt_, rows);
  out_.PatchInt64(rowCountsAt_ + 8, rows);
  *length = out_.Size();
  *answer = out_.Release();
  return true;
}
