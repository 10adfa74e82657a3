// Whether an attribute, field or information identifier takes a character
// string (converted between the application's code set and UTF-8, length in
// bytes) or a number (copied unchanged), and the width of numeric
// information values.
#pragma once

#include "qvo/qvoDefs.h"

// Descriptor header fields; every other identifier is a record field.
SQLSMALLINT IsHeaderField(SQLSMALLINT fieldType);
// String-valued descriptor fields and column attributes.
int IsDescFieldChar(SQLSMALLINT descField);
bool IsColumnAttributeChar(SQLSMALLINT FieldIdentifier);
int IsColAttrChar(SQLSMALLINT FieldIdentifier);
// String-valued diagnostic fields.
int IsDiagIdentifierChar(SQLSMALLINT DiagIdentifier);
// String-valued connection attributes, ODBC and private.
int IsConnectAttrChar(SQLINTEGER Attribute);
// Whether the exported functions pass a connection attribute's value through
// the character converters: the texts above and the texts the connection
// keeps; `reading` adds those that are texts only when read.
bool IsConnectAttrText(SQLINTEGER Attribute, bool reading);
// Integer-valued ODBC connection attributes.
int IsConnectAttrInt(SQLINTEGER Attribute);
// String-valued private statement attributes.
int IsStmtAttrChar(SQLINTEGER Attribute);
// Information types whose value is a character string.
int IsInfoValueChar(SQLSMALLINT InfoType);
// Bytes of an information value: 0 a string, 2 SQLUSMALLINT, 4 SQLUINTEGER
// or bit mask, -1 unknown.
int InfoValueSize(SQLSMALLINT infoType);
