/* qvoquery: runs one SQL statement on a Vandrel node and prints the result.
 *
 *   qvoquery HOSTLIST USER PASSWORD "SQL"
 *
 * HOSTLIST is a Vandrel host list ("host:8563", "node1..3:8563,node7").
 * Missing arguments are taken from QVO_HOST, QVO_USER, QVO_PASSWORD and
 * QVO_SQL. QVO_ENCRYPTION=Y asks for the enciphered stream, QVO_LOG=FILE
 * writes the library's log of calls and data to FILE. A result set is printed
 * as an aligned table, a statement without one as its row count, a failure as
 * its diagnostic records. */
#include <qvo/qvoCInterface.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { ROWSET = 100, MAX_COLS = 64, MAX_WIDTH = 40, NAME_LEN = 129 };

struct column {
  char name[NAME_LEN];
  SQLULEN size;
  int width;     /* printed width */
  SQLLEN buflen; /* bytes per row in the bound buffer */
  char *values;  /* ROWSET * buflen */
  SQLLEN lengths[ROWSET];
};

static void print_diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6];
  SQLCHAR text[1024];
  SQLINTEGER native;
  SQLSMALLINT len;
  SQLSMALLINT n = 1;
  for (;; ++n) {
    SQLRETURN rc = QVOGetDiagRec(type, handle, n, state, &native, text, sizeof text, &len);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) break;
    fprintf(stderr, "%s (native %d): %s\n", (char *)state, (int)native, (char *)text);
  }
  if (n == 1) fprintf(stderr, "error: no diagnostic available\n");
}

static int failed(SQLRETURN rc) { return rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO; }

static const char *arg_or_env(int argc, char **argv, int i, const char *env) {
  if (i < argc) return argv[i];
  return getenv(env);
}

static void print_rule(const struct column *cols, SQLSMALLINT n) {
  for (SQLSMALLINT c = 0; c < n; ++c) {
    putchar('+');
    for (int i = 0; i < cols[c].width + 2; ++i) putchar('-');
  }
  puts("+");
}

/* Binds every column as text, fetches rowsets of ROWSET rows and prints them. */
static int print_result(SQLHSTMT stmt, SQLSMALLINT ncols) {
  static struct column cols[MAX_COLS];
  SQLULEN fetched = 0;
  SQLUSMALLINT status[ROWSET];
  long total = 0;
  int rc = 0;

  if (ncols > MAX_COLS) ncols = MAX_COLS;
  for (SQLSMALLINT c = 0; c < ncols; ++c) {
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    struct column *col = &cols[c];
    if (failed(QVODescribeCol(stmt, (SQLUSMALLINT)(c + 1), (SQLCHAR *)col->name, NAME_LEN, &nameLen,
                              &type, &col->size, &digits, &nullable))) {
      print_diagnostics(SQL_HANDLE_STMT, stmt);
      return 1;
    }
    col->width = (int)strlen(col->name);
    /* Room for any value's text: digits, sign, separator and exponent of
     * numbers, a timestamp, or MAX_WIDTH characters of text (UTF-8). */
    col->buflen = (SQLLEN)(col->size < MAX_WIDTH ? col->size : MAX_WIDTH) * 4 + 32;
    col->values = calloc(ROWSET, (size_t)col->buflen);
    if (!col->values) {
      fprintf(stderr, "out of memory\n");
      return 1;
    }
    if (failed(QVOBindCol(stmt, (SQLUSMALLINT)(c + 1), SQL_C_CHAR, col->values, col->buflen,
                          col->lengths))) {
      print_diagnostics(SQL_HANDLE_STMT, stmt);
      return 1;
    }
  }
  QVOSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, (SQLPOINTER)(SQLULEN)ROWSET, 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0);
  QVOSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);

  /* Rows are printed as they arrive; the widths come from the first rowset
   * (later longer values widen their own line only). */
  for (int first = 1;; first = 0) {
    SQLRETURN frc = QVOFetch(stmt);
    if (frc == SQL_NO_DATA) break;
    if (frc == SQL_SUCCESS_WITH_INFO) print_diagnostics(SQL_HANDLE_STMT, stmt);
    if (failed(frc)) {
      print_diagnostics(SQL_HANDLE_STMT, stmt);
      rc = 1;
      break;
    }
    if (first) {
      for (SQLULEN r = 0; r < fetched; ++r)
        for (SQLSMALLINT c = 0; c < ncols; ++c) {
          SQLLEN l = cols[c].lengths[r];
          int w = l == SQL_NULL_DATA ? 4 : (int)(l < MAX_WIDTH ? l : MAX_WIDTH);
          if (w > cols[c].width) cols[c].width = w;
        }
      print_rule(cols, ncols);
      for (SQLSMALLINT c = 0; c < ncols; ++c) printf("| %-*s ", cols[c].width, cols[c].name);
      puts("|");
      print_rule(cols, ncols);
    }
    for (SQLULEN r = 0; r < fetched; ++r) {
      if (status[r] == SQL_ROW_ERROR) continue;
      for (SQLSMALLINT c = 0; c < ncols; ++c) {
        const char *v = cols[c].values + r * (SQLULEN)cols[c].buflen;
        if (cols[c].lengths[r] == SQL_NULL_DATA) v = "NULL";
        printf("| %-*.*s ", cols[c].width, MAX_WIDTH * 4, v);
      }
      puts("|");
    }
    total += (long)fetched;
  }
  if (total == 0 && rc == 0) {
    print_rule(cols, ncols);
    for (SQLSMALLINT c = 0; c < ncols; ++c) printf("| %-*s ", cols[c].width, cols[c].name);
    puts("|");
  }
  print_rule(cols, ncols);
  printf("%ld row%s\n", total, total == 1 ? "" : "s");
  for (SQLSMALLINT c = 0; c < ncols; ++c) free(cols[c].values);
  return rc;
}

/* Sets the connection attributes the environment asks for; *log gets the
 * log file it opens. 0, or 1 on failure. */
static int configure(SQLHDBC dbc, FILE **log) {
  const char *encryption = getenv("QVO_ENCRYPTION");
  const char *logPath = getenv("QVO_LOG");
  if (encryption &&
      failed(QVOSetConnectAttr(dbc, QVO_SOCKET_ENCRYPTION, (SQLPOINTER)encryption, SQL_NTS)))
    return 1;
  if (!logPath) return 0;
  *log = fopen(logPath, "w");
  if (!*log) {
    perror(logPath);
    return 1;
  }
  return failed(QVOSetConnectAttr(dbc, QVO_LOG_FILE, *log, 0)) ||
         failed(QVOSetConnectAttr(dbc, QVO_LOG_FULL, (SQLPOINTER)(SQLLEN)1, 0));
}

int main(int argc, char **argv) {
  const char *host = arg_or_env(argc, argv, 1, "QVO_HOST");
  const char *user = arg_or_env(argc, argv, 2, "QVO_USER");
  const char *password = arg_or_env(argc, argv, 3, "QVO_PASSWORD");
  const char *sql = arg_or_env(argc, argv, 4, "QVO_SQL");
  SQLHENV env = SQL_NULL_HANDLE;
  SQLHDBC dbc = SQL_NULL_HANDLE;
  SQLHSTMT stmt = SQL_NULL_HANDLE;
  FILE *log = NULL;
  SQLSMALLINT ncols = 0;
  int rc = 0;

  if (!host || !user || !password || !sql) {
    fprintf(stderr,
            "usage: %s HOSTLIST USER PASSWORD \"SQL\"\n"
            "  HOSTLIST names the Vandrel node(s), e.g. \"dbhost:8563\" or \"node1..3:8563\".\n"
            "  Arguments left out are read from QVO_HOST, QVO_USER, QVO_PASSWORD, QVO_SQL.\n"
            "  QVO_ENCRYPTION=Y enciphers the stream; QVO_LOG=FILE logs calls and data.\n",
            argv[0]);
    return 2;
  }
  if (failed(QVOAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)) ||
      failed(QVOAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    fprintf(stderr, "cannot allocate handles\n");
    return 1;
  }
  if (configure(dbc, &log) ||
      failed(QVOServerConnect(dbc, host, SQL_NTS, "", SQL_NTS, user, SQL_NTS, password, SQL_NTS))) {
    print_diagnostics(SQL_HANDLE_DBC, dbc);
    QVOFreeHandle(SQL_HANDLE_ENV, env);
    if (log) fclose(log);
    return 1;
  }
  if (failed(QVOAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) {
    print_diagnostics(SQL_HANDLE_DBC, dbc);
    rc = 1;
  } else {
    SQLRETURN erc = QVOExecDirect(stmt, (SQLCHAR *)sql, SQL_NTS);
    if (erc == SQL_SUCCESS_WITH_INFO) print_diagnostics(SQL_HANDLE_STMT, stmt);
    if (failed(erc) && erc != SQL_NO_DATA) {
      print_diagnostics(SQL_HANDLE_STMT, stmt);
      rc = 1;
    } else if (failed(QVONumResultCols(stmt, &ncols))) {
      print_diagnostics(SQL_HANDLE_STMT, stmt);
      rc = 1;
    } else if (ncols > 0) {
      rc = print_result(stmt, ncols);
    } else {
      SQLLEN count = 0;
      QVORowCount(stmt, &count);
      printf("%ld row%s affected\n", (long)count, count == 1 ? "" : "s");
    }
    QVOFreeHandle(SQL_HANDLE_STMT, stmt);
  }
  QVODisconnect(dbc);
  QVOFreeHandle(SQL_HANDLE_ENV, env);
  if (log) fclose(log);
  return rc;
}
