// Cancelling the calls of a connection whose server has stopped answering:
// the connection reaches the real server through a relay that the test
// freezes, so the cancel raised on the server is never answered either.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <thread>

#include "db/Cancellation.h"
#include "db/Query.h"
#include "support/db/FirebirdFixture.h"
#include "support/db/FreezableRelay.h"
#include "support/platform/Waits.h"

namespace movrano::db {
namespace {

using testing::FreezableRelay;
using testing::TempFirebirdDatabase;
using namespace std::chrono_literals;

struct Stopped : std::runtime_error {
  Stopped() : std::runtime_error("stopped") {}
};

// What a case does on its connection; it calls `freeze` where the server
// stops answering.
using Steps = std::function<void(Connection&, const std::function<void()>& freeze)>;

struct Case {
  const char* name;
  Steps steps;
  // A statement or a commit fails; a rollback of a dropped connection is
  // done (the server rolls back what it drops), so it may return.
  bool fails;
  bool cancelFirst = false;  // the cancel comes before the call begins
};

void Insert(Connection& c) {
  c.startTransaction();
  c.executeDirect("insert into T values (2)");
}

const Case kCases[] = {
    {"a statement",
     [](Connection& c, const auto& freeze) {
       c.startTransaction();
       freeze();
       c.executeDirect("insert into T values (2)");
     },
     true},
    {"the rows of an open query",
     [](Connection& c, const auto& freeze) {
       Insert(c);
       Query q(c);
       // More rows than one batch of the client brings.
       q.setSql("select a.RDB$RELATION_ID from RDB$RELATIONS a, RDB$RELATIONS b, RDB$RELATIONS c");
       q.open();
       freeze();
       while (!q.eof())
         q.next();
     },
     true},
    {"a commit",
     [](Connection& c, const auto& freeze) {
       Insert(c);
       freeze();
       c.commit();
     },
     true},
    {"a rollback begun after the cancel",
     [](Connection& c, const auto& freeze) {
       Insert(c);
       freeze();
       c.rollback();
     },
     false, true},
    {"the disconnect and its rollback",
     [](Connection& c, const auto& freeze) {
       Insert(c);
       freeze();
       c.disconnect();
     },
     false},
};

class FrozenServer : public ::testing::Test {
 protected:
  void SetUp() override { db_.execScript("create table T (ID integer primary key);"); }

  std::unique_ptr<Connection> connectThroughRelay(const FreezableRelay& relay) const {
    return testing::ConnectTestDatabase(db_.path(), relay.port());
  }

  int rows() const {
    auto c = db_.connect();
    Query q(*c);
    q.setSql("select count(*) from T");
    q.open();
    return q.field(0).asInteger();
  }

  // Whether the relay holds a request of the call within a bound.
  static bool waitForRequest(const FreezableRelay& relay, std::future<void>& call) {
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!relay.holdsRequest()) {
      if (std::chrono::steady_clock::now() > until) return false;
      if (call.wait_for(10ms) == std::future_status::ready) return relay.holdsRequest();
    }
    return true;
  }

  // The call ends while the relay stays frozen; when it does not within a
  // bound, the relay thaws so that the test can end.
  static void expectEnd(std::future<void>& call, FreezableRelay& relay) {
    if (call.wait_for(60s) == std::future_status::ready) return;
    ADD_FAILURE() << "the call still waits for the frozen server a minute after the cancel";
    relay.thaw();
    call.wait();
  }

  TempFirebirdDatabase db_;
};

TEST_F(FrozenServer, ACancelEndsACallThatTheServerNeverAnswers) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    auto canceller = std::make_shared<StatementCanceller>();
    {
      FreezableRelay relay;
      // The connection is made, used and released on the call's thread:
      // its release after the drop must not wait either.
      auto call = std::async(std::launch::async, [&] {
        const StatementCancelScope scope(canceller, [] { throw Stopped(); });
        auto connection = connectThroughRelay(relay);
        c.steps(*connection, [&] {
          relay.freeze();
          if (c.cancelFirst) canceller->cancel();
        });
      });
      if (!waitForRequest(relay, call)) {
        relay.thaw();
        call.wait();
        FAIL() << "the call never asked the frozen server";
      }
      canceller->cancel();
      expectEnd(call, relay);
      if (c.fails) {
        EXPECT_THROW(call.get(), Stopped);
      } else {
        try {
          call.get();
        } catch (const Stopped&) {
        }
      }
      EXPECT_TRUE(relay.holdsRequest()) << "the relay was thawed: the server answered";
    }
    // The relay is gone with what it held: nothing of the change was kept.
    EXPECT_EQ(rows(), 0);
  }
}

TEST_F(FrozenServer, ACancelEndsAConnectThatTheServerNeverAnswers) {
  auto canceller = std::make_shared<StatementCanceller>();
  FreezableRelay relay;
  relay.freeze();
  auto call = std::async(std::launch::async, [&] {
    const StatementCancelScope scope(canceller, [] { throw Stopped(); });
    connectThroughRelay(relay);
  });
  if (!waitForRequest(relay, call)) {
    relay.thaw();
    call.wait();
    FAIL() << "the connect never asked the frozen server";
  }
  canceller->cancel();
  expectEnd(call, relay);
  EXPECT_THROW(call.get(), Stopped);
}

TEST_F(FrozenServer, AHandshakeAnsweredAfterAnAttemptGaveUpStillConnects) {
  FreezableRelay relay;
  relay.freeze();
  auto call = std::async(std::launch::async, [&] {
    auto connection = connectThroughRelay(relay);
    connection->executeDirect("insert into T values (1)");
  });
  // The second connection is the client's next attempt.
  testing::WaitUntil([&] { return relay.connectionsTaken() >= 2; },
                     "the client's next attempt at the frozen server's handshake", 60s);
  relay.thaw();
  ASSERT_EQ(call.wait_for(60s), std::future_status::ready);
  EXPECT_NO_THROW(call.get());
  EXPECT_EQ(rows(), 1);
}

TEST_F(FrozenServer, AfterTheDropLaterCallsFailAndReleaseCleanly) {
  auto canceller = std::make_shared<StatementCanceller>();
  FreezableRelay relay;
  auto call = std::async(std::launch::async, [&] {
    const StatementCancelScope scope(canceller, [] { throw Stopped(); });
    auto connection = connectThroughRelay(relay);
    connection->startTransaction();
    // Prepared and open before the drop, released after the disconnect.
    Query kept(*connection);
    kept.setSql("select RDB$RELATION_ID from RDB$RELATIONS");
    kept.open();
    relay.freeze();
    EXPECT_THROW(connection->executeDirect("insert into T values (2)"), Stopped);
    // The server is still frozen: each of these ends without it.
    Query later(*connection);
    later.setSql("select count(*) from T");
    EXPECT_THROW(later.open(), Stopped);
    EXPECT_THROW(connection->tableNames(), Stopped);
    EXPECT_THROW(connection->executeDirect("delete from T"), Stopped);
    try {
      connection->disconnect();
    } catch (const Stopped&) {
    }
    EXPECT_FALSE(connection->connected());
  });
  if (!waitForRequest(relay, call)) {
    relay.thaw();
    call.wait();
    FAIL() << "the insert never asked the frozen server";
  }
  canceller->cancel();
  expectEnd(call, relay);
  call.get();
}

}  // namespace
}  // namespace movrano::db
