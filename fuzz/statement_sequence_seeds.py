#!/usr/bin/env python3
"""Writes the seeds of statement_sequence_fuzz into statement_sequence_seeds/
(the input layout is in the header comment of statement_sequence_fuzz.cpp):

    python3 fuzz/statement_sequence_seeds.py
"""
import os

(EXEC_DIRECT, PREPARE, EXECUTE, POLL, FETCH, GET_DATA, MORE_RESULTS, CLOSE_CURSOR, FREE_STMT,
 ASYNC, COUNTS, ATTR_OR_CANCEL, TABLES, END_TRAN, FREE_HANDLE, IDLE) = range(16)
RESULTS, NONE, ERROR = 0, 2, 3


def answer(parts=(), still=0, kind=RESULTS):
    out = bytes([still | (kind << 2) | ((max(len(parts), 1) - 1) << 4)])
    for p in parts:
        out += p
    return out


def rows(count, inline, block=1):
    return bytes([count << 1, inline | ((block - 1) << 4)])


def row_count(n):
    return bytes([(n << 1) | 1, 0])


def get_data(column=1, wide=False, size=0):
    """size: index into 64, 4, 3, 6 characters."""
    return (column - 1) | (2 if wide else 0) | (size << 2)


def seed(statements, answers, calls):
    out = bytes([statements - 2, len(answers) - 1]) + b"".join(answers)
    for code, stmt, *arg in calls:
        out += bytes([code | (stmt << 4), arg[0] if arg else 0])
    return out


def read_all(stmt, fetches, column=1):
    calls = []
    for _ in range(fetches):
        calls += [(FETCH, stmt), (GET_DATA, stmt, get_data(column))]
    return calls


SEEDS = {
    # A prepared statement executed again over a current and a pending
    # result set, both held by the server; then with the first inline.
    "reexecute_pending_results": seed(2, [
        answer([rows(3, 1), rows(3, 1)]), answer([row_count(5)]), answer([row_count(7)])
    ], [(PREPARE, 0), (EXECUTE, 0), (FETCH, 0), (EXECUTE, 0), (COUNTS, 0, 0),
        (EXEC_DIRECT, 1), (COUNTS, 1, 0), (PREPARE, 1), (EXECUTE, 1), (EXECUTE, 1),
        (FETCH, 1)]),
    "reexecute_inline_then_held": seed(2, [
        answer([rows(2, 2), rows(4, 1, 2)]), answer([row_count(5)])
    ], [(PREPARE, 0), (EXECUTE, 0), (FETCH, 0), (GET_DATA, 0), (EXECUTE, 0), (EXEC_DIRECT, 1)]),
    # The second execution answers "still executing" twice first; the
    # second statement's execution must read its own answer.
    "reexecute_still_executing": seed(2, [
        answer([row_count(1), rows(3, 1)]), answer([row_count(5)], still=2),
        answer([row_count(7)]), answer([row_count(1), rows(3, 1)]),
        answer([rows(3, 1, 2)], still=2), answer([row_count(9)])
    ], [(PREPARE, 0), (EXECUTE, 0), (MORE_RESULTS, 0), (FETCH, 0), (EXECUTE, 0),
        (EXEC_DIRECT, 1), (COUNTS, 1, 0), (EXECUTE, 0), (MORE_RESULTS, 0), (FETCH, 0),
        (EXECUTE, 0)] + read_all(0, 4) + [(PREPARE, 0), (EXEC_DIRECT, 1), (COUNTS, 1, 0)]),
    # Execute with nothing prepared: never, after a direct execution, after
    # a catalog call.
    "execute_not_prepared": seed(2, [answer([row_count(3)])], [
        (EXECUTE, 0), (EXEC_DIRECT, 0), (EXECUTE, 0), (PREPARE, 1), (TABLES, 1), (EXECUTE, 1),
        (PREPARE, 1), (EXECUTE, 1)]),
    # Asynchronous executions polled to an answer without a result, to a
    # server error and to results, on every road.
    "async_outcomes": seed(2, [
        answer([], still=2, kind=NONE), answer([], still=1, kind=ERROR),
        answer([rows(3, 1), row_count(4)], still=2)
    ], [(ASYNC, 0, 1), (EXEC_DIRECT, 0), (POLL, 0), (POLL, 0), (EXEC_DIRECT, 0), (POLL, 0),
        (EXEC_DIRECT, 0), (POLL, 0), (POLL, 0), (FETCH, 0), (FETCH, 0), (MORE_RESULTS, 0),
        (COUNTS, 0, 0), (PREPARE, 0), (EXECUTE, 0), (EXECUTE, 0), (EXECUTE, 0), (TABLES, 0),
        (TABLES, 0), (TABLES, 0), (TABLES, 0), (TABLES, 0), (POLL, 0), (POLL, 0)]),
    # While an asynchronous execution runs, every other call on its
    # statement is refused; the other statement's close waits for it.
    "async_refusals": seed(2, [
        answer([rows(3, 1)]), answer([rows(4, 1), rows(2, 1)], still=2)
    ], [(EXEC_DIRECT, 1), (FETCH, 1), (ASYNC, 0, 1), (EXEC_DIRECT, 0), (FREE_STMT, 0),
        (PREPARE, 0), (CLOSE_CURSOR, 0), (FETCH, 0), (GET_DATA, 0), (COUNTS, 0, 1),
        (COUNTS, 0, 0), (ASYNC, 0, 0), (MORE_RESULTS, 0), (EXECUTE, 0), (TABLES, 0),
        (ATTR_OR_CANCEL, 0, 0), (EXEC_DIRECT, 1), (FREE_STMT, 1), (END_TRAN, 0, 0),
        (POLL, 0), (ATTR_OR_CANCEL, 0, 1), (POLL, 0)] + read_all(0, 5) +
        [(MORE_RESULTS, 0), (FETCH, 0), (FETCH, 0)]),
    # A running execution freed: aborted and read to its end, its results
    # closed.
    "async_freed": seed(3, [
        answer([rows(3, 1), rows(3, 0)], still=2), answer([row_count(2)])
    ], [(PREPARE, 0), (ASYNC, 0, 1), (EXECUTE, 0), (FREE_HANDLE, 0), (EXEC_DIRECT, 1),
        (COUNTS, 1, 0), (ASYNC, 2, 1), (EXEC_DIRECT, 2), (FREE_STMT, 1)]),
    # Commit and rollback of the connection and of the environment, whose
    # other connections never connected.
    "end_transactions": seed(2, [answer([rows(3, 1)])], [
        (EXEC_DIRECT, 0), (END_TRAN, 0, 2), (END_TRAN, 0, 3), (END_TRAN, 0, 0), (END_TRAN, 0, 1),
        (FETCH, 0), (FETCH, 0)]),
    # An allocation under a connection that never connected, after an
    # EndTran there left its record.
    "idle_allocations": seed(2, [answer([row_count(1)])], [
        (IDLE, 0, 0), (IDLE, 0, 1), (IDLE, 0, 2), (IDLE, 0, 3)]),
    # Doubles read with GetData into narrow and wide text, in pieces and
    # whole, each read to its 100.
    "getdata_pieces": seed(2, [answer([rows(3, 1, 2)])], [
        (EXEC_DIRECT, 0), (FETCH, 0), (GET_DATA, 0, get_data(2, size=1)),
        (GET_DATA, 0, get_data(2, size=1)), (GET_DATA, 0, get_data(2, size=1)),
        (GET_DATA, 0, get_data(2, size=1)), (FETCH, 0), (GET_DATA, 0, get_data(2, True, 2)),
        (GET_DATA, 0, get_data(2, True, 2)), (GET_DATA, 0, get_data(2, True, 2)),
        (GET_DATA, 0, get_data(2, True, 2)), (FETCH, 0), (GET_DATA, 0, get_data(2)),
        (GET_DATA, 0, get_data(2)), (EXEC_DIRECT, 1), (FETCH, 1),
        (GET_DATA, 1, get_data(1, size=3)), (GET_DATA, 1, get_data(1, size=3)),
        (GET_DATA, 1, get_data(1, size=3))]),
    # Four statements, their executions interleaved.
    "four_statements": seed(4, [
        answer([rows(5, 1, 2), row_count(3)]), answer([rows(2, 0), rows(3, 3)], still=1),
        answer([row_count(6)], still=2), answer([rows(6, 2, 3)])
    ], [(EXEC_DIRECT, 0), (ASYNC, 1, 1), (EXEC_DIRECT, 1), (FETCH, 0), (FETCH, 0),
        (EXEC_DIRECT, 2), (FREE_STMT, 0), (POLL, 1), (FETCH, 1), (PREPARE, 2), (EXECUTE, 2),
        (EXECUTE, 2), (FETCH, 3), (TABLES, 3), (FETCH, 3), (FETCH, 1), (MORE_RESULTS, 1),
        (FETCH, 1), (GET_DATA, 1, get_data(1)), (END_TRAN, 0, 2), (EXEC_DIRECT, 3),
        (FREE_HANDLE, 1), (FETCH, 3), (CLOSE_CURSOR, 3), (CLOSE_CURSOR, 3)]),
}


def main():
    folder = os.path.join(os.path.dirname(os.path.abspath(__file__)), "statement_sequence_seeds")
    os.makedirs(folder, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
