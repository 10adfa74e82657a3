#!/usr/bin/env python3
"""Writes the seeds of fetch_sequence_fuzz into fetch_sequence_seeds/ (the
input layout is in the header comment of fetch_sequence_fuzz.cpp):

    python3 fuzz/fetch_sequence_seeds.py
"""
import os

# Column kinds.
ASCII, VARCHAR, CHAR, DECIMAL, SMALLDECIMAL, BIGDECIMAL, DOUBLE, BOOLEAN, DATE, TIMESTAMP, \
    TIMESTAMP_UTC = range(11)
# C types of GetData and BindCol, buffer lengths by index.
C_CHAR, C_WCHAR, C_BINARY = 0, 1, 2
LENGTHS = [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 16, 24, 40, 100]
MAX_LENGTHS = {0: 0, 1: 8, 2: 9, 3: 10, 4: 11, 5: 12, 7: 13, 9: 14, 16: 15}
NEXT, FIRST, LAST, PRIOR, ABSOLUTE, RELATIVE = range(6)


def header(code_set=0, old=False, row_wise=False, fetched=True, status=True, precision=3):
    flags = code_set | (4 if old else 0) | (8 if row_wise else 0) | (0x10 if fetched else 0) | \
        (0x20 if status else 0)
    return bytes([flags, precision])


def rows(columns, count, inline, block=0, seed=1, nulls=0):
    out = [(len(columns) - 1) << 1, count, inline, block, seed, nulls]
    for kind, param in columns:
        out += [kind, param]
    return bytes(out)


def row_count(n):
    return bytes([(n << 1) | 1])


def executions(*answers):
    out = bytes([len(answers) - 1])
    for results in answers:
        out += bytes([len(results) - 1]) + b"".join(results)
    return out


def execute(): return bytes([0])
def fetch(): return bytes([1])
def scroll(orientation, offset=0): return bytes([2, orientation, (offset * 4) & 0xFF])
def set_pos(row): return bytes([3, row])


def get_data(column, c_type=C_CHAR, length=40, calls=1, no_target=False, no_indicator=False):
    how = c_type | (4 if no_target else 0) | (8 if no_indicator else 0) | ((calls - 1) << 4)
    return bytes([4, column, how, LENGTHS.index(length)])


def bind(column, c_type=C_CHAR, length=40, no_value=False, no_indicator=False):
    how = c_type | (4 if no_value else 0) | (8 if no_indicator else 0)
    return bytes([5, column - 1, how, LENGTHS.index(length)])


def unbind(column): return bytes([6, column - 1])
def unbind_all(): return bytes([7])
def rowset(n): return bytes([8, n - 1])
def max_length(n): return bytes([9, MAX_LENGTHS[n]])
def more_results(): return bytes([10])
def close_cursor(): return bytes([11])
def close(): return bytes([12])
def num_result_cols(): return bytes([13])
def row_number(): return bytes([14])
def row_count_call(): return bytes([15])
def bind_offset(index): return bytes([16, index])


TEXT = [(VARCHAR, 12), (ASCII, 9)]
NUMBERS = [(DECIMAL, 0x0D), (SMALLDECIMAL, 2), (BIGDECIMAL, 4), (DOUBLE, 0), (BOOLEAN, 0),
           (DATE, 0), (TIMESTAMP, 0), (TIMESTAMP_UTC, 0)]

SEEDS = {
    # A cap that leaves room for no whole character: a piece of one
    # character, never an empty piece for ever.
    "getdata_max_length_narrow": header() + executions([rows([(VARCHAR, 12)], 4, 4, seed=3)])
    + max_length(2) + (fetch() + get_data(1, C_CHAR, 16, calls=8)) * 4,
    "getdata_max_length_wide": header() + executions([rows([(VARCHAR, 12)], 4, 4, seed=5)])
    + max_length(1) + (fetch() + get_data(1, C_WCHAR, 16, calls=8)) * 4,
    # Bindings stay over results that have fewer columns.
    "binding_past_columns": header() + executions([rows(TEXT + [(DATE, 0)], 6, 6)])
    + bind(5, C_CHAR, 16) + bind(1, C_CHAR, 8) + fetch() + fetch(),
    "binding_over_narrow_result": header() + executions(
        [rows(TEXT + [(VARCHAR, 5)], 5, 5, seed=7)], [rows(TEXT, 3, 3, seed=8)])
    + bind(3, C_WCHAR, 24) + fetch() + execute() + fetch() + execute() + fetch() + fetch(),
    # Records of an earlier call never outlive the next call.
    "records_cleared": header() + executions([rows([(VARCHAR, 12)], 6, 6, seed=9)])
    + rowset(2) + fetch() + get_data(1, C_CHAR, 2) + set_pos(2) + get_data(1, C_CHAR, 2)
    + row_count_call() + get_data(1, C_CHAR, 2) + close_cursor(),
    # Scrolling a row count fetches nothing and moves nothing.
    "row_count_scroll": header() + executions([row_count(5), rows(TEXT, 4, 4)])
    + scroll(LAST) + row_number() + scroll(RELATIVE, 0) + scroll(ABSOLUTE, 3) + row_number()
    + fetch() + more_results() + fetch() + row_number(),
    # Without a result set no orientation moves the cursor: a PRIOR after an
    # ABSOLUTE past a rowset gives what a fetch gives.
    "row_count_prior": header() + executions([row_count(30)])
    + rowset(8) + scroll(ABSOLUTE, 12) + scroll(PRIOR) + row_number() + scroll(ABSOLUTE, 9)
    + scroll(RELATIVE, 0) + scroll(PRIOR),
    # After 100 there is no current row; the cursor stays for PRIOR and LAST.
    "no_row_after_end": header() + executions([rows(TEXT, 5, 2, block=1)])
    + rowset(2) + bind(1) + fetch() * 4 + get_data(2) + row_number() + set_pos(1)
    + scroll(PRIOR) + row_number() + get_data(1) + scroll(ABSOLUTE, 9) + get_data(1)
    + scroll(LAST) + row_number() + get_data(2),
    # No result after the last one.
    "more_results_end": header() + executions([rows(TEXT, 2, 2)], [row_count(3), rows(TEXT, 1, 1)])
    + num_result_cols() + more_results() + num_result_cols() + fetch() + close_cursor()
    + num_result_cols() + execute() + row_count_call() + more_results() + num_result_cols()
    + more_results() + num_result_cols(),
    # Several results, further blocks, every orientation.
    "results_and_blocks": header(precision=6) + executions(
        [row_count(3), rows(TEXT + [(DECIMAL, 0x0D), (TIMESTAMP, 0)], 30, 5, block=4, nulls=1),
         rows([(DOUBLE, 0), (BOOLEAN, 0)], 10, 10, seed=2)])
    + more_results() + rowset(3) + bind(1, C_CHAR, 5) + bind(2, C_WCHAR, 12) + bind(3) + bind(4)
    + fetch() * 3 + scroll(PRIOR) + scroll(ABSOLUTE, 20) + scroll(RELATIVE, -4)
    + scroll(RELATIVE, 2) + scroll(LAST) + scroll(FIRST) + set_pos(2) + get_data(2, C_CHAR, 4, 8)
    + row_number() + row_count_call() + more_results() + fetch() + get_data(1) + get_data(2)
    + more_results(),
    "row_wise_offsets": header(row_wise=True) + executions(
        [rows(TEXT + NUMBERS[:3], 12, 3, block=2, nulls=2, seed=4)])
    + bind_offset(1) + rowset(4) + bind(1, C_CHAR, 6) + bind(2, C_BINARY, 4) + bind(3, C_WCHAR, 40)
    + bind(4, no_value=True) + bind(5, C_CHAR, 24) + fetch() + bind_offset(2) + fetch()
    + scroll(PRIOR) + set_pos(3) + get_data(1, C_WCHAR, 6, 4) + unbind(3) + fetch() + unbind_all()
    + fetch() + get_data(4),
    "number_texts": header(precision=9) + executions([rows(NUMBERS, 8, 8, nulls=1, seed=6)])
    + rowset(2) + b"".join(bind(c, C_CHAR if c % 2 else C_WCHAR, 100) for c in range(1, 9))
    + fetch() + b"".join(get_data(c, C_WCHAR, 100, 2) for c in range(1, 9))
    + set_pos(1) + b"".join(get_data(c, C_CHAR, 40, 1, no_target=True) for c in range(1, 9)),
    "protocol_7_blocks": header(old=True) + executions([rows(TEXT + [(CHAR, 4)], 25, 3)])
    + rowset(4) + bind(2) + bind(3, C_WCHAR, 10) + fetch() * 8 + scroll(FIRST) + scroll(NEXT),
    "reexecute_and_close": header() + executions(
        [rows(TEXT, 9, 2, block=3)], [row_count(2), rows([(DATE, 0)], 4, 1)])
    + fetch() + close_cursor() + fetch() + execute() + more_results() + fetch() + close()
    + close_cursor() + execute() + fetch() + execute() + num_result_cols(),
}

for code_set, name in ((1, "shift_jis"), (2, "euc_jp"), (3, "utf32le")):
    SEEDS["pieces_" + name] = header(code_set=code_set) + executions(
        [rows([(VARCHAR, 12), (CHAR, 6), (ASCII, 8)], 5, 5, seed=10 + code_set)]) \
        + rowset(2) + bind(1, C_CHAR, 7) + bind(2, C_BINARY, 5) + fetch() \
        + get_data(1, C_CHAR, 5, 8) + get_data(2, C_BINARY, 4, 8) + get_data(1, C_WCHAR, 6, 8) \
        + get_data(3, C_CHAR, 3, 8) + max_length(4) + set_pos(1) + get_data(1, C_CHAR, 9, 8) \
        + get_data(1, C_CHAR, 0) + get_data(1, C_CHAR, 40, 1, no_target=True)

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "fetch_sequence_seeds")
os.makedirs(here, exist_ok=True)
for name, data in SEEDS.items():
    with open(os.path.join(here, name), "wb") as f:
        f.write(data)
