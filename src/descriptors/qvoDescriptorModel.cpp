// Construction, defaults, growing and shrinking, and copying of descriptors.
#include <algorithm>
#include <cstring>
#include <new>

#include "descriptors/qvoDescriptorTexts.h"
#include "descriptors/qvoDescriptors.h"
#include "messages/qvoTranslator.h"

// --- records -------------------------------------------------------------------

__cliDescriptorRecords::__cliDescriptorRecords(const __cliDescriptorRecords& other)
    : __cliDescriptorRecordFields(other) {
  // The base copy shares the texts; give this record copies of its own.
  for (const auto& t : kOwnedTexts) {
    this->*t.text = nullptr;
    this->*t.length = 0;
  }
  try {
    for (const auto& t : kOwnedTexts)
      if (other.*t.text)
        SetOwnedText(this->*t.text, this->*t.length, other.*t.text, other.*t.length);
  } catch (...) {
    FreeTexts();
    throw;
  }
}

__cliDescriptorRecords::~__cliDescriptorRecords() { FreeTexts(); }

void __cliDescriptorRecords::FreeTexts() {
  for (const auto& t : kOwnedTexts) {
    delete[](this->*t.text);
    this->*t.text = nullptr;
    this->*t.length = 0;
  }
}

void __cliDescriptorRecords::SetOwnedText(char*& field, int& fieldLen, const char* text, int n) {
  if (text == nullptr || n < 0) n = 0;
  auto copy = std::make_unique<char[]>(static_cast<size_t>(n) + 1);
  if (n > 0) std::memcpy(copy.get(), text, static_cast<size_t>(n));
  copy[n] = 0;
  delete[] field;
  field = copy.release();
  fieldLen = n;
}

// --- construction ----------------------------------------------------------------

cliDescriptor::cliDescriptor(SQLSMALLINT descAType, SQLSMALLINT descUType, Translator* trans)
    : descType(descUType) {
  handleType = SQL_HANDLE_DESC;
  SetMaxIdentifierLength(128);
  if (trans)
    SetBorrowedTranslator(trans);
  else
    SetTranslatorLangCode(0);  // never without one: every failure needs its texts
  switch (descUType) {
    case QVO_DESC_ARD:
      InitARDHeader(descAType);
      break;
    case QVO_DESC_APD:
      InitAPDHeader(descAType);
      break;
    case QVO_DESC_IRD:
      InitIRDHeader();
      break;
    case QVO_DESC_IPD:
      InitIPDHeader();
      break;
    default:
      InitUserHeader();
      break;
  }
}

cliDescriptor::~cliDescriptor() = default;

void cliDescriptor::SetMaxIdentifierLength(int mil) {
  maxIdentifierLength = std::max(40, mil);
  maxIdentifierOctetLength = 4 * maxIdentifierLength;
}

namespace {

void InitHeader(__cliDescriptorHeader& h, SQLSMALLINT allocType) {
  h = __cliDescriptorHeader{};
  h.allocType = allocType;
  h.bindOffsetPtr = &h.bindOffsetDummy;
  h.rowsProcessedPtr = &h.rowsProcessed;
}

}  // namespace

SQLRETURN cliDescriptor::InitARDHeader(SQLSMALLINT descAType) {
  InitHeader(header, descAType);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitAPDHeader(SQLSMALLINT descAType) {
  InitHeader(header, descAType);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitIRDHeader() {
  InitHeader(header, SQL_DESC_ALLOC_AUTO);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitIPDHeader() {
  InitHeader(header, SQL_DESC_ALLOC_AUTO);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitUserHeader() {
  InitHeader(header, SQL_DESC_ALLOC_USER);
  return SQL_SUCCESS;
}

// --- record defaults ---------------------------------------------------------------

namespace {

// What every kind shares; the kinds differ in type and case sensitivity.
void InitCommonRecord(__cliDescriptorRecords& r, SQLSMALLINT type, SQLINTEGER caseSensitive) {
  r.FreeTexts();
  r.autoUniqueValue = 0;
  r.caseSensitive = caseSensitive;
  r.conciseType = SQL_C_DEFAULT;
  r.nativeType = SQL_C_DEFAULT;
  r.type = type;
  r.dataPtr = nullptr;
  r.octetLengthPtr = nullptr;
  r.datetimeIntervalCode = 0;
  r.datetimeIntervalPrecision = 0;
  r.displaySize = 0;
  r.fixedPrecScale = 0;
  r.length = 0;
  r.numPrecRadix = 0;
  r.octetLength = 0;
  r.precision = 0;
  r.rowver = 0;
  r.scale = 0;
  r.Unsigned = 0;
  r.qvoType = 0;
  r.qvoTypeLen = 0;
  std::memset(r.literalPrefix, 0, sizeof r.literalPrefix);
  std::memset(r.literalSufix, 0, sizeof r.literalSufix);
  std::memset(r.localTypeName, 0, sizeof r.localTypeName);
  std::memset(r.typeName, 0, sizeof r.typeName);
  r.nullable = SQL_NULLABLE;
  r.parameterType = SQL_PARAM_INPUT;
  r.searchable = SQL_PRED_SEARCHABLE;
  r.unnamed = SQL_UNNAMED;
  r.updatable = SQL_ATTR_READWRITE_UNKNOWN;
}

}  // namespace

SQLRETURN cliDescriptor::InitARD_APDRecords(__cliDescriptorRecords* r) {
  InitCommonRecord(*r, SQL_C_DEFAULT, SQL_FALSE);
  r->pointerBind = 0;
  r->charAttr = 0;
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitIRDRecords(__cliDescriptorRecords* r) {
  InitCommonRecord(*r, 0, SQL_TRUE);
  return SQL_SUCCESS;
}

SQLRETURN cliDescriptor::InitIPDRecords(__cliDescriptorRecords* r) {
  InitCommonRecord(*r, 0, SQL_FALSE);
  return SQL_SUCCESS;
}

void cliDescriptor::ApplyRecordDefaults(__cliDescriptorRecords* r) {
  switch (descType) {
    case QVO_DESC_IRD:
      InitIRDRecords(r);
      break;
    case QVO_DESC_IPD:
      InitIPDRecords(r);
      break;
    default:
      // An application's descriptor has no role yet; the application
      // descriptor values are the defined start it gets.
      InitARD_APDRecords(r);
      break;
  }
}

// --- record table ------------------------------------------------------------------

SQLRETURN cliDescriptor::ResizeRecordTable(SQLSMALLINT nSize) {
  if (nSize < 0) return SQL_ERROR;
  if (nSize == 0) {
    records.clear();
    records.shrink_to_fit();
    header.count = 0;
    return SQL_SUCCESS;
  }
  if (nSize <= header.count) {
    // Shrinking allocates nothing, so it cannot fail (SetDescField relies on
    // that to undo a growth).
    records.resize(static_cast<size_t>(nSize) + 1);
    header.count = nSize;
    return SQL_SUCCESS;
  }
  try {
    // Everything that can fail happens before the old table is touched.
    std::vector<std::unique_ptr<__cliDescriptorRecords>> table(static_cast<size_t>(nSize) + 1);
    for (int n = header.count + 1; n <= nSize; ++n) {
      table[n] = std::make_unique<__cliDescriptorRecords>();
      ApplyRecordDefaults(table[n].get());
    }
    const SQLSMALLINT keep = std::min(header.count, nSize);
    for (int n = 1; n <= keep; ++n) table[n] = std::move(records[n]);
    records = std::move(table);  // records above nSize go with the old table
    header.count = nSize;
    return SQL_SUCCESS;
  } catch (const std::bad_alloc&) {
    return SQL_ERROR;
  }
}

// --- owner -----------------------------------------------------------------------

cliDescriptorOwner* cliDescriptor::OwningStatement() const {
  if (master == nullptr || master->handleType != SQL_HANDLE_STMT) return nullptr;
  return dynamic_cast<cliDescriptorOwner*>(master);
}

void cliDescriptor::NoticeBindingChange() const {
  if (cliDescriptorOwner* owner = OwningStatement()) owner->BindingWasChanged();
}

SQLRETURN cliDescriptor::AddDiag(Translator::CodeOperation code,
                                 Translator::MessageOperation message) {
  Translator* t = GetTranslatorPtr();
  return SetDiagRec((t->*code)(), -1, (t->*message)());
}

// --- copy ------------------------------------------------------------------------

SQLRETURN cliDescriptor::CopyDescriptorFrom(cliDescriptor* source) {
  ClearDiagRecords();
  // A copy onto itself has nothing to do.
  if (source == this) return SQL_SUCCESS;
  SetTranslatorLangCode(source->GetTranslatorLangCode());
  if (descType == QVO_DESC_IRD)
    return QVO_DESC_DIAG(*this, _Cannot_modify_an_implementation_row_descriptor_);
  if (descType == QVO_DESC_USER) descType = source->descType;
  if (source->descType == QVO_DESC_USER)
    return QVO_DESC_DIAG(*this, _Cannot_copy_from_a_descriptor_with_undefined_type_);
  if (source->descType == QVO_DESC_IRD && source->header.count == 0)
    return QVO_DESC_DIAG(*this, _Associated_statement_is_not_prepared_);

  // Copies first, so that running out of memory leaves this descriptor as
  // it was.
  const SQLSMALLINT count = source->header.count;
  std::vector<std::unique_ptr<__cliDescriptorRecords>> table;
  try {
    if (count > 0) {
      table.resize(static_cast<size_t>(count) + 1);
      for (int n = 1; n <= count; ++n)
        table[n] = std::make_unique<__cliDescriptorRecords>(*source->records[n]);
    }
  } catch (const std::bad_alloc&) {
    return QVO_DESC_DIAG(*this, _Memory_management_error_);
  }
  records = std::move(table);

  const SQLSMALLINT ownAllocType = header.allocType;
  header = source->header;
  header.allocType = ownAllocType;
  // Pointers at the source's own counters would dangle once the source is
  // freed: this descriptor uses its own, with the same values.
  if (source->header.bindOffsetPtr == &source->header.bindOffsetDummy)
    header.bindOffsetPtr = &header.bindOffsetDummy;
  if (source->header.rowsProcessedPtr == &source->header.rowsProcessed)
    header.rowsProcessedPtr = &header.rowsProcessed;
  // The data and length pointers of every record were replaced: the owning
  // statement must not go on with what it knew of the old ones.
  NoticeBindingChange();
  return SQL_SUCCESS;
}
