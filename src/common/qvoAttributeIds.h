// The private attribute ids from 21001 to 21108: connection attributes and
// statement attributes share one numbering, and a few ids are both. The
// descriptor fields of this range (21077, 21084) live with the descriptors.
// The ids that applications name come from the public qvo/qvoAttributes.h.
#pragma once

#include <sql.h>

#include "qvo/qvoAttributes.h"

inline constexpr SQLINTEGER QVO_ATTR_PTR_ARRAY =
    21001;  // row pointer table of the current block (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_OLD_RESULT_ROW_COUNT =
    21002;                                           // rows of the current block (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_LINES = 21003;  // rows of the result (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_MAX_DATA_MESSAGE_SIZE =
    QVO_MAX_DATA_MESSAGE_SIZE;                                 // largest data message in bytes
inline constexpr SQLINTEGER QVO_ATTR_USER_NAME = 21006;        // user name
inline constexpr SQLINTEGER QVO_ATTR_DSN_NAME = 21007;         // data source name
inline constexpr SQLINTEGER QVO_ATTR_PREPARE_SUCCESS = 21009;  // prepare success switch
inline constexpr SQLINTEGER QVO_ATTR_CLIENT_NAME = 21010;      // client name
inline constexpr SQLINTEGER QVO_ATTR_BYTES_READ = 21011;       // bytes read from the node (read)
inline constexpr SQLINTEGER QVO_ATTR_BYTES_WRITTEN = 21012;    // bytes written to the node (read)
inline constexpr SQLINTEGER QVO_ATTR_CURRENT_SCHEMA = 21016;   // current schema
inline constexpr SQLINTEGER QVO_ATTR_NUMERIC_CHARACTERS = 21017;  // decimal and group characters
inline constexpr SQLINTEGER QVO_ATTR_CLIENT_VERSION = 21019;      // client version text
inline constexpr SQLINTEGER QVO_ATTR_PREPARED_MESSAGE_LEN =
    21022;  // length of the prepared statement's message (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_STMT_PROTOCOL_VERSION =
    21026;  // protocol version (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_QUEUE_NUMERIC_CHARACTERS =
    21028;                                                // numeric characters for the next request
inline constexpr SQLINTEGER QVO_ATTR_LOCALE_ALL = 21029;  // locale, all categories
inline constexpr SQLINTEGER QVO_ATTR_LOCALE_NUMERIC = 21030;       // locale, numeric category
inline constexpr SQLINTEGER QVO_ATTR_FIX_UP_LOCALES = 21031;       // sets unset locale categories
inline constexpr SQLINTEGER QVO_ATTR_PROTOCOL_VERSION = 21032;     // protocol version (read)
inline constexpr SQLINTEGER QVO_ATTR_SUPPORTED_ENCODINGS = 21033;  // supported encodings (read)
inline constexpr SQLINTEGER QVO_ATTR_HOST_TEXT = 21035;            // host text (read)
inline constexpr SQLINTEGER QVO_ATTR_SERVER_VERSION = 21037;       // server version text (read)
inline constexpr SQLINTEGER QVO_ATTR_SERVER_REVISION = 21038;      // server revision text (read)
inline constexpr SQLINTEGER QVO_ATTR_NODE_TABLE = 21039;           // node table (read)
inline constexpr SQLINTEGER QVO_ATTR_NODE_COUNT = 21040;           // node count (read)
inline constexpr SQLINTEGER QVO_ATTR_CURRENT_NODE = 21041;         // current node (read)
inline constexpr SQLINTEGER QVO_ATTR_SESSION_KILL = 21042;         // kills a session
inline constexpr SQLINTEGER QVO_ATTR_TRANSACTION_STATE = 21043;    // transaction state
inline constexpr SQLINTEGER QVO_ATTR_CLOSE_SOCKET = 21045;         // closes the socket at once
inline constexpr SQLINTEGER QVO_ATTR_COGNOS = 21046;               // Cognos mode
inline constexpr SQLINTEGER QVO_ATTR_MICRO_CACHE = 21047;          // micro cache
inline constexpr SQLINTEGER QVO_ATTR_DATA_ENCODING =
    QVO_ANSI_DATA_ENCODING;  // code page of character data
inline constexpr SQLINTEGER QVO_ATTR_SQL_ENCODING = QVO_ANSI_ARG_ENCODING;  // code page of SQL text
inline constexpr SQLINTEGER QVO_ATTR_EXTENDED_FETCH_MAPPING =
    21050;  // extended fetch mapping (statement)
inline constexpr SQLINTEGER QVO_ATTR_CONNECTION_STRING = 21051;  // connection string
inline constexpr SQLINTEGER QVO_ATTR_LOG_FULL = QVO_LOG_FULL;    // full log switch
inline constexpr SQLINTEGER QVO_ATTR_LOG_STREAM = QVO_LOG_FILE;  // log stream
inline constexpr SQLINTEGER QVO_ATTR_LOG_LOCK = 21055;           // log lock
inline constexpr SQLINTEGER QVO_ATTR_SHOW_ONLY_CURRENT_SCHEMA =
    21056;  // catalog calls show only the current schema
inline constexpr SQLINTEGER QVO_ATTR_STRINGS_NOT_NULL = 21057;  // strings are never NULL
inline constexpr SQLINTEGER QVO_ATTR_HOST_LIST = 21059;         // host names of the cluster (read)
inline constexpr SQLINTEGER QVO_ATTR_WCHAR_SQL_ENCODING =
    QVO_UNICODE_ARG_ENCODING;                                    // code page of wide SQL text
inline constexpr SQLINTEGER QVO_ATTR_FEEDBACK_INTERVAL = 21061;  // feedback interval
inline constexpr SQLINTEGER QVO_ATTR_MAX_PARAM_SIZE = 21062;     // largest parameter size
inline constexpr SQLINTEGER QVO_ATTR_ROWS_FETCHED_PTR = 21063;   // rows fetched pointer (statement)
inline constexpr SQLINTEGER QVO_ATTR_ARRAY_STATUS_PTR = 21064;   // row status array (statement)
inline constexpr SQLINTEGER QVO_ATTR_DEFAULT_PARAM_SIZE = 21065;  // default parameter size
inline constexpr SQLINTEGER QVO_ATTR_WCHAR_DATA_ENCODING =
    QVO_UNICODE_DATA_ENCODING;                              // code page of wide character data
inline constexpr SQLINTEGER QVO_ATTR_LOCALE_CTYPE = 21067;  // locale, character type category
inline constexpr SQLINTEGER QVO_ATTR_ALWAYS_SEARCH_PATTERNS_IN_CAT =
    21068;                                                 // catalog arguments are always patterns
inline constexpr SQLINTEGER QVO_ATTR_ERROR_RESET = 21069;  // diagnostics cleared by each call
inline constexpr SQLINTEGER QVO_ATTR_AUTOCOMMIT_STATE =
    21070;  // autocommit as the session has it (read)
inline constexpr SQLINTEGER QVO_ATTR_SESSION_SCHEMA = 21071;          // schema the node reports
inline constexpr SQLINTEGER QVO_ATTR_SESSION_CATALOG = 21072;         // catalog the node reports
inline constexpr SQLINTEGER QVO_ATTR_CHARACTER_DISPLAY_SIZE = 21073;  // character display size
inline constexpr SQLINTEGER QVO_ATTR_SERVER_VERSION_NUMBER =
    21074;  // server version as a number (read)
inline constexpr SQLINTEGER QVO_ATTR_INT_TYPES_IN_RESULTS =
    21075;  // integer types in results where possible
inline constexpr SQLINTEGER QVO_ATTR_IRD_HANDLE =
    21076;  // handle of the row descriptor (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_TIMESTAMP_UTC = 21078;      // time stamps in UTC
inline constexpr SQLINTEGER QVO_ATTR_SESSION_ID = 21079;         // session id
inline constexpr SQLINTEGER QVO_ATTR_TRUNCATE_DECIMALS = 21080;  // truncate decimals (statement)
inline constexpr SQLINTEGER QVO_ATTR_STATEMENT_TEXT = 21081;     // statement text (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_TIMESTAMP_PRECISION =
    QVO_TIMESTAMP_PRECISION;                                    // time stamp precision (statement)
inline constexpr SQLINTEGER QVO_ATTR_CURSOR = 21083;            // cursor position (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_CURSOR_ROW = 21085;        // cursor row (statement)
inline constexpr SQLINTEGER QVO_ATTR_POINTER_BIND_ON = 21086;   // pointer binding on (statement)
inline constexpr SQLINTEGER QVO_ATTR_POINTER_BIND_OFF = 21087;  // pointer binding off (statement)
inline constexpr SQLINTEGER QVO_ATTR_WORD_FOR_TRUE = 21088;     // word for true
inline constexpr SQLINTEGER QVO_ATTR_WORD_FOR_FALSE = 21089;    // word for false
inline constexpr SQLINTEGER QVO_ATTR_RESULT_HANDLE =
    21090;  // server result handle (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_FLOAT_PRECISION = 21091;  // float precision (statement)
inline constexpr SQLINTEGER QVO_ATTR_RESULT_LINES =
    21092;  // rows of the result, second id (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_EXTERNAL_CONVERSION =
    21093;  // external conversion (statement)
inline constexpr SQLINTEGER QVO_ATTR_PREPARED_HANDLE =
    21094;  // server prepared handle (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_LOG_LINES = QVO_LOG_FILE_LINES;  // log lines
inline constexpr SQLINTEGER QVO_ATTR_SESSION_TIMEZONE = 21096;        // session time zone
inline constexpr SQLINTEGER QVO_ATTR_SESSION_TIMEZONE_BEHAVIOUR =
    21097;                                                     // session time zone behaviour
inline constexpr SQLINTEGER QVO_ATTR_STMT_SESSION_ID = 21098;  // session id (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_SOCKET_ENCRYPTION =
    QVO_SOCKET_ENCRYPTION;                                 // socket encryption Y/N
inline constexpr SQLINTEGER QVO_ATTR_RANDOM_SEED = 21101;  // random seed of the key material
inline constexpr SQLINTEGER QVO_ATTR_ENCRYPTED = 21102;    // traffic is enciphered (read)
inline constexpr SQLINTEGER QVO_ATTR_ENCRYPTION_REQUIRED = 21103;  // encryption required (read)
inline constexpr SQLINTEGER QVO_ATTR_LOG_DEBUG = 21104;            // debug log switch
inline constexpr SQLINTEGER QVO_ATTR_MICRO_CACHE_TEXT = 21105;     // micro cache, as text
inline constexpr SQLINTEGER QVO_ATTR_FAST_METADATA = 21106;        // fast metadata Y/N
inline constexpr SQLINTEGER QVO_ATTR_STATUS_TEXT = 21107;          // status text (statement, read)
inline constexpr SQLINTEGER QVO_ATTR_MAX_HANDLES = 21108;          // handle limit
