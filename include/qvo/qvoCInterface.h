/* The exported C interface of libqvocli: ODBC-shaped functions named QVO plus
 * the ODBC name. Text functions come in a narrow form (application code set)
 * and a W form (SQLWCHAR, UTF-16 in host order). */
#ifndef QVO_CINTERFACE_H
#define QVO_CINTERFACE_H

#include "qvoDefs.h"

#if defined(__GNUC__)
#define QVO_EXPORT __attribute__((visibility("default")))
#else
#define QVO_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* QVO_C_FUNCTIONS: each subsystem adds its exported functions here. */

/* Handles, environment, transactions (handle values are small integers). */
QVO_EXPORT SQLRETURN QVOAllocHandle(SQLSMALLINT HandleType, SQLHANDLE InputHandle,
                                    SQLHANDLE* OutputHandle);
QVO_EXPORT SQLRETURN QVOFreeHandle(SQLSMALLINT HandleType, SQLHANDLE Handle);
QVO_EXPORT SQLRETURN QVOEndTran(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                SQLSMALLINT CompletionType);
QVO_EXPORT SQLRETURN QVOSetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                   SQLPOINTER Value, SQLINTEGER StringLength);
QVO_EXPORT SQLRETURN QVOGetEnvAttr(SQLHENV EnvironmentHandle, SQLINTEGER Attribute,
                                   SQLPOINTER Value, SQLINTEGER BufferLength,
                                   SQLINTEGER* StringLength);
/* Writes "VERSION=5.0.17 REVISION=..." into a buffer of 128 bytes; 0. */
QVO_EXPORT int CLIDllVersion(char* buffer);

/* Diagnostics. Narrow text lengths are bytes; QVOGetDiagRecW counts SQLWCHAR
 * units, QVOGetDiagFieldW bytes. */
QVO_EXPORT SQLRETURN QVOGetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                   SQLSMALLINT RecNumber, SQLCHAR* SQLState,
                                   SQLINTEGER* NativeError, SQLCHAR* MessageText,
                                   SQLSMALLINT BufferLength, SQLSMALLINT* TextLength);
QVO_EXPORT SQLRETURN QVOGetDiagRecW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                    SQLSMALLINT RecNumber, SQLWCHAR* SQLState,
                                    SQLINTEGER* NativeError, SQLWCHAR* MessageText,
                                    SQLSMALLINT BufferLength, SQLSMALLINT* TextLength);
QVO_EXPORT SQLRETURN QVOGetDiagField(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                     SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                     SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                     SQLSMALLINT* StringLength);
QVO_EXPORT SQLRETURN QVOGetDiagFieldW(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                      SQLSMALLINT RecNumber, SQLSMALLINT DiagIdentifier,
                                      SQLPOINTER DiagInfo, SQLSMALLINT BufferLength,
                                      SQLSMALLINT* StringLength);

/* Descriptors. Integer fields travel in Value itself; SQLLEN/SQLULEN and
 * pointer fields have their full width. Text lengths are bytes, except the
 * Name buffer of QVOGetDescRecW, which counts SQLWCHAR units. */
QVO_EXPORT SQLRETURN QVOCopyDesc(SQLHDESC SourceDescHandle, SQLHDESC TargetDescHandle);
QVO_EXPORT SQLRETURN QVOSetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                     SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                     SQLINTEGER BufferLength);
QVO_EXPORT SQLRETURN QVOSetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                      SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                      SQLINTEGER BufferLength);
QVO_EXPORT SQLRETURN QVOGetDescField(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                     SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                     SQLINTEGER BufferLength, SQLINTEGER* StringLength);
QVO_EXPORT SQLRETURN QVOGetDescFieldW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                      SQLSMALLINT FieldIdentifier, SQLPOINTER Value,
                                      SQLINTEGER BufferLength, SQLINTEGER* StringLength);
QVO_EXPORT SQLRETURN QVOGetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                   SQLCHAR* Name, SQLSMALLINT BufferLength,
                                   SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                   SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                                   SQLSMALLINT* Scale, SQLSMALLINT* Nullable);
QVO_EXPORT SQLRETURN QVOGetDescRecW(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                    SQLWCHAR* Name, SQLSMALLINT BufferLength,
                                    SQLSMALLINT* StringLength, SQLSMALLINT* Type,
                                    SQLSMALLINT* SubType, SQLLEN* Length, SQLSMALLINT* Precision,
                                    SQLSMALLINT* Scale, SQLSMALLINT* Nullable);
QVO_EXPORT SQLRETURN QVOSetDescRec(SQLHDESC DescriptorHandle, SQLSMALLINT RecNumber,
                                   SQLSMALLINT Type, SQLSMALLINT SubType, SQLLEN Length,
                                   SQLSMALLINT Precision, SQLSMALLINT Scale, SQLPOINTER Data,
                                   SQLLEN* StringLength, SQLLEN* Indicator);

#ifdef __cplusplus
}
#endif

/* Exported under their C++ names only. */
#ifdef __cplusplus
/* Adds a diagnostic record (message in the application's code set); -1. */
QVO_EXPORT SQLRETURN QVOSetDiagRec(SQLSMALLINT HandleType, SQLHANDLE Handle,
                                   const char* SQLState, SQLINTEGER NativeError,
                                   const char* MessageText);
#endif

#endif
