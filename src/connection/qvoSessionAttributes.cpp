// Session settings of a connection: queued in the pending list, which the
// next request or the login carries, or sent at once in a set_attributes
// request; and the server's current settings asked for with get_attributes.

#include <memory>

#include "connection/qvoAnswerTaker.h"
#include "connection/qvoConnection.h"
#include "handles/qvoDiag.h"

// The pending list is read by every request, under executionMutex; it is
// written under the same lock.
SQLRETURN qvoConnection::AddPendingAttribute(qvo_int16 attrType, const void* value, int size) {
  qvoMutex lock(executionMutex);
  if (!attributes) attributes = std::make_unique<qvoAttributes>(this);
  return attributes->AddAttribute(attrType, value, size);
}

SQLRETURN qvoConnection::AddIntAttribute(qvo_int16 attrType, qvo_int32 attrValue) {
  return AddPendingAttribute(attrType, &attrValue, 4);
}

SQLRETURN qvoConnection::AddLongAttribute(qvo_int16 attrType, qvo_int64 attrValue) {
  return AddPendingAttribute(attrType, &attrValue, 8);
}

SQLRETURN qvoConnection::AddBoolAttribute(qvo_int16 attrType, qvo_int8 attrValue) {
  return AddPendingAttribute(attrType, &attrValue, 1);
}

namespace {

// The Set forms send what is pending together with the new attribute and then
// drop the list, sent or not: without a socket the attribute is discarded.
SQLRETURN SendWith(qvoConnection& c, qvoAnswerTaker* stmt, qvo_int16 attrType, const void* value,
                   int size) {
  qvoMutex lock(c.executionMutex);
  c.AddPendingAttribute(attrType, value, size);
  const SQLRETURN rc = c.SetAttributesInQVO(stmt);
  c.ClearAttributes();
  return rc;
}

}  // namespace

SQLRETURN qvoConnection::SetIntAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType,
                                         qvo_int32 attrValue) {
  return SendWith(*this, stmt, attrType, &attrValue, 4);
}

SQLRETURN qvoConnection::SetLongAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType,
                                          qvo_int64 attrValue) {
  return SendWith(*this, stmt, attrType, &attrValue, 8);
}

SQLRETURN qvoConnection::SetBoolAttribute(qvoAnswerTaker* stmt, qvo_int16 attrType,
                                          qvo_int8 attrValue) {
  return SendWith(*this, stmt, attrType, &attrValue, 1);
}

SQLRETURN qvoConnection::SetAttributesInQVO(qvoAnswerTaker* stmt) {
  if (!attributes || !Socket) return SQL_SUCCESS;
  // Serialised with the statements' exchanges, and refused while another
  // statement's query still runs (its answer is the next on the socket).
  qvoMutex lock(executionMutex);
  if (stmt && stmt->ConnectionBusyWithOther())
    return QVO_DIAG(stmt->RequesterHandle(), _Function_sequence_error_, -1);
  // The request's attribute block is the pending list; the answer goes to the
  // statement, which reads the server's verdict from it.
  SQLRETURN rc = ExecuteSQL(stmt, nullptr, 0, set_attributes);
  if (rc == SQL_SUCCESS && stmt) rc = stmt->MoreResults();
  ClearAttributes();
  return rc == SQL_NO_DATA ? SQL_SUCCESS : rc;
}

SQLRETURN qvoConnection::GetAttributesFromQVO() {
  if (!Socket) return SQL_ERROR;
  qvoMutex lock(executionMutex);
  // The answer's attributes update the connection as they arrive.
  return ExecuteSQL(nullptr, nullptr, 0, get_attributes);
}
