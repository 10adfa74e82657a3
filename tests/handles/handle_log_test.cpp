#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "handles/qvoEnvironment.h"
#include "platform/qvoThread.h"

namespace {

// A stream in memory that the test reads back line by line.
class MemoryLog {
 public:
  MemoryLog() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryLog() {
    fclose(file_);
    free(data_);
  }
  FILE* file() { return file_; }
  std::vector<std::string> Lines() {
    fflush(file_);
    std::vector<std::string> lines;
    std::istringstream in(std::string(data_, size_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

// A handle that logs: a statement-like handle (type 3) of the test's own.
struct LoggingHandle : qvoHandle {
  LoggingHandle(FILE* f, qvoCriticalSection* lock) {
    handleType = SQL_HANDLE_STMT;
    handleID = reinterpret_cast<SQLHANDLE>(uintptr_t{17});
    SetLogFile(true, false, f, "client.log", lock, 100);
  }
};

// "hh:mm:ss.mmm<TAB>thread id<TAB>text": false when the line has another shape.
struct LogLine {
  std::string thread, text;
};
bool Parse(const std::string& line, LogLine& out) {
  static const std::regex stamp(R"(\d\d:\d\d:\d\d\.\d{3}\t\d+\t)");
  const size_t second = line.find('\t', 13);
  if (second == std::string::npos || !std::regex_match(line.substr(0, second + 1), stamp))
    return false;
  out.thread = line.substr(13, second - 13);
  out.text = line.substr(second + 1);
  return true;
}

}  // namespace

TEST(HandleLog, LineFormatAndTheLinesOfTheHandle) {
  MemoryLog log;
  qvoCriticalSection lock;
  {
    LoggingHandle h(log.file(), &lock);
    EXPECT_STREQ(h.GetLogFileName(), "client.log");
    EXPECT_EQ(h.Log("value %d\n", 42), 0);
    h.SetDiagRec("42000", -1, "server");
    h.LastDiagWasFromServer();
    h.SetDiagRec("HY000", -1, "boom");
    // Reading reduces the list to the server's record, added anew.
    EXPECT_EQ(h.GetDiagRec(1, nullptr, nullptr, nullptr, 0, nullptr), SQL_SUCCESS);
    h.ClearDiagRecords();
  }
  const std::vector<std::string> expected = {
      "value 42",
      "qvoHandle::SetDiagRec() added one new error messages for handle 17: 42000 "
      "[OSTRANA][Vandrel driver]server",
      "qvoHandle::SetDiagRec() added one new error messages for handle 17: HY000 "
      "[OSTRANA][Vandrel driver]boom",
      "qvoHandle::SetDiagRec() added one new error messages for handle 17: 42000 "
      "[OSTRANA][Vandrel driver]server",
      "qvoHandle::ClearDiagRecords() is going to delete 1 error messages for handle 17 of type "
      "SQL_HANDLE_STMT",
      "qvoHandle::~qvoHandle() handle type=3",
  };
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), expected.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    LogLine l;
    ASSERT_TRUE(Parse(lines[i], l)) << lines[i];
    EXPECT_EQ(l.thread, std::to_string(thr_self()));
    EXPECT_EQ(l.text, expected[i]);
  }
}

TEST(HandleLog, TimeStampAndLongMessages) {
  const char* oldTz = getenv("TZ");
  const std::string saved = oldTz ? oldTz : "";
  setenv("TZ", "UTC", 1);
  tzset();
  struct timespec t = {9 * 3600 + 5 * 60 + 3, 7 * 1000000 + 999};
  char stamp[32];
  EXPECT_STREQ(qvoHandle::GetTimeStr(stamp, sizeof stamp, &t), "09:05:03.007\t");
  if (oldTz)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();

  MemoryLog log;
  qvoCriticalSection lock;
  LoggingHandle h(log.file(), &lock);
  const std::string longText(40000, 'x');
  h.Log("%s", longText.c_str());
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  LogLine l;
  ASSERT_TRUE(Parse(lines[0], l));
  EXPECT_EQ(l.text.size(), 32767u);
  h.logFull = false;  // no destructor line

  // Without a stream the message is formatted and dropped.
  LoggingHandle quiet(nullptr, nullptr);
  EXPECT_EQ(quiet.Log("nothing %s\n", "here"), 0);
  quiet.logFull = false;
}

TEST(HandleLog, TwoThreadsWriteWholeLines) {
  MemoryLog log;
  qvoCriticalSection lock;
  LoggingHandle a(log.file(), &lock), b(log.file(), &lock);
  a.logFull = b.logFull = false;  // only the lines below
  auto work = [](LoggingHandle* h, char tag) {
    for (int i = 0; i < 200; ++i) h->Log("%c%03d %s\n", tag, i, std::string(300, tag).c_str());
  };
  std::thread t1(work, &a, 'a'), t2(work, &b, 'b');
  t1.join();
  t2.join();
  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 400u);
  std::map<char, std::string> ids;
  for (const auto& line : lines) {
    LogLine l;
    ASSERT_TRUE(Parse(line, l)) << line.substr(0, 40);
    const char tag = l.text[0];
    EXPECT_EQ(l.text.substr(5), std::string(300, tag));
    if (!ids.count(tag)) ids[tag] = l.thread;
    EXPECT_EQ(ids[tag], l.thread) << "every line of a thread carries its id";
  }
  EXPECT_NE(ids['a'], ids['b']);
}
