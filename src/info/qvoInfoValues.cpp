// qvoConnection::GetInfoValues: the server's DB_METADATA rows into the
// connection's attribute block, all or nothing.

#include "info/qvoInfoValues.h"

#include <array>
#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "connection/qvoConnection.h"

namespace {

// ---- the fields ---------------------------------------------------------------------

struct MetadataField {
  const char* name;
  qvoOwnedText connectionAttr::*text;   // a text row, or
  SQLUINTEGER connectionAttr::*number;  // a number row
};

#define QVO_TEXT_FIELD(n) {#n, &connectionAttr::n, nullptr},
#define QVO_NUMBER_FIELD(n) {#n, nullptr, &connectionAttr::n},
constexpr MetadataField kFields[] = {QVO_DB_METADATA_FIELDS(QVO_TEXT_FIELD, QVO_NUMBER_FIELD)};
#undef QVO_TEXT_FIELD
#undef QVO_NUMBER_FIELD
constexpr size_t kFieldCount = std::size(kFields);

// The row that sizes the connection's data messages; it has a 64-bit field of
// its own outside the DB_METADATA group.
constexpr std::string_view kMaxDataMessageSize = "maxDataMessageSize";
// A row whose value may fail to read without failing the load (it is then 0).
constexpr std::string_view kIncrementVersion = "databaseIncrementVersion";

int FieldIndex(std::string_view name) {
  for (size_t i = 0; i < kFieldCount; ++i)
    if (name == kFields[i].name) return static_cast<int>(i);
  return -1;
}

// The number at the start of a text: blanks, an optional sign, decimal
// digits up to the first other character; 0 without digits. Read no further
// than the text, held within the 32-bit signed range.
qvo_int64 LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  qvo_int64 n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n = n * 10 + (text[i] - '0');
    if (n > qvo_int64{INT_MAX} + 1) n = qvo_int64{INT_MAX} + 1;
  }
  if (negative) return -n;
  return n > INT_MAX ? INT_MAX : n;
}

// ---- the rows read, kept aside until the whole view was read ------------------------

class Stage {
 public:
  void Take(const qvoMetadataRow& row) {
    if (row.nameCut) return;  // longer than any name of ours
    if (row.name == kMaxDataMessageSize) {
      if (haveMaxData_) return;
      if (!row.valueRead) {
        failed_ = true;
        return;
      }
      haveMaxData_ = true;
      maxData_ = row.valueNull ? 0 : LeadingNumber(row.value);
      return;
    }
    const int i = FieldIndex(row.name);
    if (i < 0 || seen_[i]) return;  // not ours, or a repeated name: the first counts
    seen_[i] = true;
    if (!row.valueRead) {
      if (row.name == kIncrementVersion)
        numbers_[i] = 0;
      else
        failed_ = true;
      return;
    }
    if (kFields[i].text)
      texts_[i].assign(row.valueNull ? std::string_view() : row.value);
    else
      numbers_[i] = row.valueNull ? 0 : static_cast<SQLUINTEGER>(LeadingNumber(row.value));
  }

  bool Failed() const { return failed_; }

  // Writes what was read; fields of names the view did not hold keep their
  // values. Everything that can fail happens before the first field changes.
  void CommitTo(connectionAttr& a) {
    std::vector<qvoOwnedText> copies(kFieldCount);
    for (size_t i = 0; i < kFieldCount; ++i) {
      if (!seen_[i] || !kFields[i].text) continue;
      copies[i] = std::make_unique<char[]>(texts_[i].size() + 1);
      std::memcpy(copies[i].get(), texts_[i].data(), texts_[i].size());
      copies[i][texts_[i].size()] = '\0';
    }
    for (size_t i = 0; i < kFieldCount; ++i) {
      if (!seen_[i]) continue;
      if (kFields[i].text)
        a.*kFields[i].text = std::move(copies[i]);
      else
        a.*kFields[i].number = numbers_[i];
    }
    // A size of 0 or below would make every data message one row long: the
    // connection keeps the size it has.
    if (haveMaxData_ && maxData_ > 0) a.maxDataMessageSize = maxData_;
  }

 private:
  std::array<bool, kFieldCount> seen_{};
  std::array<std::string, kFieldCount> texts_;
  std::array<SQLUINTEGER, kFieldCount> numbers_{};
  bool haveMaxData_ = false;
  qvo_int64 maxData_ = 0;
  bool failed_ = false;
};

std::atomic<qvoMetadataReader> currentReader{nullptr};

}  // namespace

qvoMetadataReader ReplaceMetadataReader(qvoMetadataReader reader) {
  return currentReader.exchange(reader);
}

SQLRETURN qvoConnection::GetInfoValues() {
  qvoMutex lock(infoValuesMutex);
  haveInfos = false;
  Stage stage;
  qvoMetadataReader read = currentReader.load();
  if (!read) read = ReadMetadataView;
  const SQLRETURN rc = read(*this, [&stage](const qvoMetadataRow& row) { stage.Take(row); });
  if (rc < 0) return rc;
  if (stage.Failed()) return SQL_ERROR;
  {
    // Read beside the load by calls that do not load (see settingsMutex).
    qvoMutex settings(settingsMutex);
    stage.CommitTo(connAttr);
  }
  haveInfos = true;
  return SQL_SUCCESS;
}
