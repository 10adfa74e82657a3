// Command codes of the message header: what a request asks the server to do.
#pragma once

enum __qvoMessageMode : int {
  create_prepared_statement = 10,
  execute_prepared_statement = 11,
  execute = 12,
  close_result_set = 13,
  send_rows = 14,
  get_hostnames = 16,
  execute_batch = 17,
  close_prepared_statement = 18,
  session_kill = 27,
  enter_parallel = 30,
  describe_resultset = 31,
  disconnect_current = 32,
  send_slave_offset = 33,
  get_attributes = 34,
  set_attributes = 35,
  send_rows_fetch2 = 36,
  abort_query = 37,
  continue_execution = 38,
  get_columns = 39,
  Ping = 42,
  login = 43,
};

// The command's name for log lines (the enumerator's name); null for codes
// that have none of their own in the log (get_columns, login and unknown ones).
const char* qvoMessageModeName(int command);
