// A main connection that logs in to a fake node playing the login, and a
// statement stand-in that receives what requests hand over.
#pragma once

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "connection/qvoAnswerTaker.h"
#include "connection/wire_fixture.h"
#include "support/fake_login.h"

// Receives answers like a statement and keeps what it was given.
class FakeStatement : public qvoHandle, public qvoAnswerTaker {
 public:
  FakeStatement() {
    handleType = SQL_HANDLE_STMT;
    SetTranslatorLangCode(0);
  }
  qvoHandle* RequesterHandle() override { return this; }
  SQLRETURN TakeResults(char* answer, qvo_int64 length) override {
    Keep(answer, length, &results);
    return SQL_SUCCESS;
  }
  SQLRETURN TakeRows(char* answer, qvo_int64 length) override {
    Keep(answer, length, &rows);
    return SQL_SUCCESS;
  }
  SQLRETURN SetPreparedParamcount(int count) override {
    paramCounts.push_back(count);
    return refuseParamCount ? SQL_ERROR : SQL_SUCCESS;
  }

  std::vector<std::string> results;  // each hand-over: result count and data
  std::vector<std::string> rows;
  std::vector<int> paramCounts;
  bool refuseParamCount = false;

 private:
  static void Keep(char* answer, qvo_int64 length, std::vector<std::string>* into) {
    into->push_back(answer ? std::string(answer, static_cast<size_t>(length)) : "");
    delete[] answer;
  }
};

// An answer buffer as a statement receives it.
inline std::string AnswerBuffer(uint32_t results, const std::string& data) {
  std::string out(4, '\0');
  for (int k = 0; k < 4; ++k) out[k] = static_cast<char>(results >> (8 * k));
  return out + data;
}

// A port on 127.0.0.1 where nothing listens.
inline uint16_t ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// A log stream in memory for one handle; Text() gives what was written.
class MemoryLog {
 public:
  MemoryLog() : file_(open_memstream(&buffer_, &size_)) {}
  ~MemoryLog() {
    if (file_) std::fclose(file_);
    std::free(buffer_);
  }
  MemoryLog(const MemoryLog&) = delete;
  MemoryLog& operator=(const MemoryLog&) = delete;
  void AttachTo(qvoHandle& handle) {
    handle.SetLogFile(true, true, file_, "memory", nullptr, 0x7FFFFFFFFFFFFFFFLL);
  }
  std::string Text() {
    std::fflush(file_);
    return std::string(buffer_, size_);
  }

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  FILE* file_;
};

struct LoginFixture {
  explicit LoginFixture(fake::LoginScript script = {}) : player(node, std::move(script)) {
    conn.ImMainNode = true;
    conn.connAttr.connType = 1;
    Aim("127.0.0.1", node.Port());
    const char user[] = "user";
    conn.connAttr.userName = std::make_unique<char[]>(sizeof user);
    std::memcpy(conn.connAttr.userName.get(), user, sizeof user);
    conn.connAttr.userNameLen = 4;
    conn.connAttr.SetPassword("secret", 6);
  }

  void Aim(const char* host, uint16_t port) {
    std::snprintf(conn.server.qvoServer, sizeof conn.server.qvoServer, "%s", host);
    conn.server.qvoServerLen = static_cast<int>(std::strlen(conn.server.qvoServer));
    std::snprintf(conn.server.qvoPort, sizeof conn.server.qvoPort, "%u", port);
    conn.server.qvoPortLen = static_cast<int>(std::strlen(conn.server.qvoPort));
  }

  // Connects and logs in; the socket's error code.
  int Login() {
    conn.OpenSocket();
    return conn.Socket->GetSocketError();
  }

  qvoSocket& socket() { return *conn.Socket; }

  // Breaks the stream under a request, which leaves the socket flagged for a
  // reconnect.
  void BreakRequest() {
    socket().closeSocketForce();
    ASSERT_EQ(socket().qvoExecSQL(nullptr, nullptr, nullptr, 0, Ping), -1);
    ASSERT_TRUE(socket().ShouldIReconnect());
  }

  std::vector<uint8_t> Commands() const {
    std::vector<uint8_t> out;
    for (const fake::Request& r : node.Requests()) out.push_back(r.command);
    return out;
  }

  fake::FakeNode node;  // declared first: it outlives the connection
  fake::LoginPlayer player;
  qvoConnection conn{nullptr};
};
