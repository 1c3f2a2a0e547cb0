#include "db/firebird/FirebirdDriver.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "db/Cancellation.h"
#include "db/firebird/FirebirdClient.h"
#include "db/firebird/FirebirdStatement.h"

namespace movrano::db {

namespace {

using namespace firebird_detail;

// A server that takes the connection but never answers its handshake holds
// the client for the whole connect time-out, which no cancel can shorten:
// short attempts, repeated for as long as the client's own time-out, let a
// cancel end the connect within seconds.
constexpr std::chrono::seconds kHandshakeAttempt{3};
constexpr std::chrono::seconds kHandshakePatience{180};
constexpr std::chrono::milliseconds kClockSlack{200};

std::string AttachName(const ConnectionParams& p) {
  if (p.host.empty()) return p.database;
  std::string name = p.host;
  if (p.port > 0) name += "/" + std::to_string(p.port);
  return name + ":" + p.database;
}

std::vector<unsigned char> BuildDpb(const ConnectionParams& p, int pageSize,
                                    int connectTimeoutSeconds = 0) {
  Status st;
  return Guarded([&] {
    IXpbBuilder* dpb =
        Master()->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
    std::unique_ptr<IXpbBuilder, void (*)(IXpbBuilder*)> guard(
        dpb, [](IXpbBuilder* b) { b->dispose(); });
    dpb->insertString(&st, isc_dpb_user_name, p.user.c_str());
    dpb->insertString(&st, isc_dpb_password, p.password.c_str());
    if (connectTimeoutSeconds > 0)
      dpb->insertInt(&st, isc_dpb_connect_timeout, connectTimeoutSeconds);
    if (!p.clientCodePage.empty()) {
      dpb->insertString(&st, isc_dpb_lc_ctype, p.clientCodePage.c_str());
    }
    if (pageSize > 0) {
      dpb->insertInt(&st, isc_dpb_page_size, pageSize);
      dpb->insertString(&st, isc_dpb_set_db_charset, "UTF8");
    }
    const unsigned char* buffer = dpb->getBuffer(&st);
    return std::vector<unsigned char>(buffer, buffer + dpb->getBufferLength(&st));
  });
}

class FirebirdConnection : public ConnectionBackend {
 public:
  explicit FirebirdConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}
  ~FirebirdConnection() override { session_->detach(); }

  void begin(TransactionKind kind) override {
    if (session_->hasTransaction()) throw EDatabaseError("A transaction is already active");
    session_->begin(kind == TransactionKind::ReadOnlySnapshot);
  }
  void commit() override { session_->commit(false); }
  void commitRetaining() override { session_->commit(true); }
  void rollback() override { session_->rollback(); }
  bool hasTransaction() const override { return session_->hasTransaction(); }
  void close() override { session_->detach(); }
  void cancelOperation() override { session_->cancel(fb_cancel_raise); }
  void abortOperation() override { session_->cancel(fb_cancel_abort); }

  std::unique_ptr<StatementBackend> makeStatement() override {
    return MakeFirebirdStatement(session_);
  }

  std::vector<std::string> tableNames() override {
    const std::unique_ptr<StatementBackend> statement = MakeFirebirdStatement(session_);
    statement->prepare(
        "select trim(rdb$relation_name) from rdb$relations "
        "where coalesce(rdb$system_flag, 0) = 0 and rdb$view_blr is null "
        "order by rdb$relation_id");
    statement->execute();
    std::vector<std::string> names;
    std::vector<Variant> row;
    while (statement->fetch(row))
      names.push_back(row[0].toString());
    return names;
  }

 private:
  std::shared_ptr<Session> session_;
};

}  // namespace

std::unique_ptr<ConnectionBackend> OpenFirebird(const ConnectionParams& params) {
  using Clock = std::chrono::steady_clock;
  const std::vector<unsigned char> dpb =
      BuildDpb(params, 0, static_cast<int>(kHandshakeAttempt.count()));
  const CancelBinding binding = StatementCancelScope::Current();
  const Clock::time_point start = Clock::now();
  for (;;) {
    const Clock::time_point attempt = Clock::now();
    try {
      Status st;
      IAttachment* attachment = Guarded([&] {
        return Dispatcher()->attachDatabase(&st, AttachName(params).c_str(),
                                            static_cast<unsigned>(dpb.size()), dpb.data());
      });
      return std::make_unique<FirebirdConnection>(std::make_shared<Session>(attachment));
    } catch (const EDatabaseError& e) {
      // A refusal comes at once; only a handshake that was never answered
      // is tried again, until the client's usual patience is spent.
      const bool unanswered = e.errorCode() == isc_connect_reject &&
                              Clock::now() - attempt >= kHandshakeAttempt - kClockSlack;
      const bool cancelled = binding.canceller && binding.canceller->cancelled();
      if (!unanswered || cancelled || Clock::now() - start >= kHandshakePatience) throw;
    }
  }
}

void CreateFirebirdDatabase(const ConnectionParams& params, int pageSize) {
  const std::vector<unsigned char> dpb = BuildDpb(params, pageSize);
  Status st;
  Guarded([&] {
    IAttachment* a = Dispatcher()->createDatabase(&st, AttachName(params).c_str(),
                                                  static_cast<unsigned>(dpb.size()), dpb.data());
    a->detach(&st);
  });
}

void DropFirebirdDatabase(const ConnectionParams& params) {
  const std::vector<unsigned char> dpb = BuildDpb(params, 0);
  Status st;
  Guarded([&] {
    IAttachment* a = Dispatcher()->attachDatabase(&st, AttachName(params).c_str(),
                                                  static_cast<unsigned>(dpb.size()), dpb.data());
    a->dropDatabase(&st);
  });
}

}  // namespace movrano::db
