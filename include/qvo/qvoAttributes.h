/* The library's own attribute ids, beside the ODBC ones: connection attributes
 * for QVOSetConnectAttr and QVOGetConnectAttr, and the code sets, which a
 * statement takes too (QVOSetStmtAttr, QVOGetStmtAttr). An integer value is
 * passed as the pointer value itself, (SQLPOINTER)(SQLLEN)n. */
#ifndef QVO_ATTRIBUTES_H
#define QVO_ATTRIBUTES_H

/* Connection: the largest message the server sends, in bytes (integer; reads
 * give its low 32 bits). */
#define QVO_MAX_DATA_MESSAGE_SIZE 21004
/* Connection: the stream the log is written to (an open FILE*). */
#define QVO_LOG_FILE 21054
/* Connection: calls and data are logged when not 0 (integer). */
#define QVO_LOG_FULL 21053
/* Connection: data lines logged per column (integer). */
#define QVO_LOG_FILE_LINES 21095
/* Connection: "Y" enciphers the stream after the next login, "N" does not
 * (text; reads give "Y" or "N"). */
#define QVO_SOCKET_ENCRYPTION 21099

/* Connection or statement: the code set, by name, of character data, of SQL
 * text, of wide SQL text and of wide character data (text). */
#define QVO_ANSI_DATA_ENCODING 21048
#define QVO_ANSI_ARG_ENCODING 21049
#define QVO_UNICODE_ARG_ENCODING 21060
#define QVO_UNICODE_DATA_ENCODING 21066

/* Statement: digits of a time stamp's fraction, at most 9 (integer; set
 * only). */
#define QVO_TIMESTAMP_PRECISION 21082

#endif
