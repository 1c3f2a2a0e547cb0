#pragma once
// What the Firebird driver's parts share: the client's master interface,
// status objects, the translation of the client's errors into ours, and
// the attachment with its one current transaction.
#include <firebird/Interface.h>
#include <ibase.h>

#include <cstdint>
#include <mutex>
#include <utility>

#include "db/Types.h"

namespace movrano::db::firebird_detail {

using namespace Firebird;

inline IMaster* Master() {
  return fb_get_master_interface();
}

// The client's entry for attaching and creating databases. Each one is a
// new object of the client's, released with its holder.
class Dispatcher {
 public:
  Dispatcher() : provider_(Master()->getDispatcher()) {}
  ~Dispatcher() { provider_->release(); }
  Dispatcher(const Dispatcher&) = delete;
  Dispatcher& operator=(const Dispatcher&) = delete;
  IProvider* operator->() const { return provider_; }

 private:
  IProvider* provider_;
};

// One status object per call site, released with it.
class Status {
 public:
  Status() : raw_(Master()->getStatus()), wrapper_(raw_) {}
  ~Status() { raw_->dispose(); }
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;
  ThrowStatusWrapper* operator&() { return &wrapper_; }

 private:
  IStatus* raw_;
  ThrowStatusWrapper wrapper_;
};

[[noreturn]] void ThrowDbError(const FbException& e);

// Runs a block of client calls, turning the client's errors into ours.
template <typename F>
auto Guarded(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const FbException& e) {
    ThrowDbError(e);
  }
}

constexpr unsigned kCharsetNone = 0;
constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kCharsetUnicodeFss = 3;
constexpr unsigned kCharsetUtf8 = 4;

// Day 0 of the day-number epoch (1899-12-30) in Firebird's date count.
constexpr int64_t kEpochInFirebirdDays = 15018;
// Times of day count 1/10000 s, the DateTime tick.

// The attachment and its one current transaction, shared by the
// connection and its statements so that a statement outliving the
// connection releases its handles safely.
class Session {
 public:
  explicit Session(IAttachment* attachment) : attachment_(attachment) {}
  ~Session() { detach(); }

  IAttachment* attachment() const { return attachment_; }
  bool attached() const { return attachment_ != nullptr; }
  bool hasTransaction() const { return transaction_ != nullptr; }

  // A statement that outlived its connection's disconnect gets an error
  // here instead of a call into what the client freed.
  void checkAttached() const {
    if (!attachment_) throw EDatabaseError("Operation is not allowed in closed connection");
  }

  ITransaction* transaction() {
    checkAttached();
    if (!transaction_) begin(false);
    return transaction_;
  }

  // Read-write and read-committed, or read-only on the snapshot of the
  // database taken now (Firebird's concurrency isolation).
  void begin(bool readOnlySnapshot) {
    static const unsigned char kReadWrite[] = {
        isc_tpb_version3, isc_tpb_write, isc_tpb_read_committed, isc_tpb_rec_version, isc_tpb_wait};
    static const unsigned char kSnapshot[] = {isc_tpb_version3, isc_tpb_read, isc_tpb_concurrency,
                                              isc_tpb_wait};
    const unsigned char* tpb = readOnlySnapshot ? kSnapshot : kReadWrite;
    const unsigned length = readOnlySnapshot ? sizeof kSnapshot : sizeof kReadWrite;
    Status st;
    Guarded([&] { transaction_ = attachment()->startTransaction(&st, length, tpb); });
  }

  void commit(bool retaining) {
    if (!transaction_) return;
    Status st;
    Guarded([&] {
      if (retaining) {
        transaction_->commitRetaining(&st);
      } else {
        transaction_->commit(&st);
        transaction_ = nullptr;
      }
    });
  }

  void rollback() {
    if (!transaction_) return;
    Status st;
    Guarded([&] {
      transaction_->rollback(&st);
      transaction_ = nullptr;
    });
  }

  // From another thread, while a call of this attachment runs, also
  // while it detaches. fb_cancel_raise asks the server to end the call
  // with "operation was cancelled"; fb_cancel_abort closes the client's
  // side of the connection, so that the call returns at once with a
  // connection error, as every later call does. Failures (the client's
  // "nothing to cancel" when no call runs) are no failures here.
  void cancel(int kind) {
    std::lock_guard lock(cancelling_);
    if (!attachment_) return;
    Status st;
    try {
      attachment_->cancelOperation(&st, kind);
    } catch (const FbException&) {
    }
  }

  void detach() {
    if (!attachment_) return;
    Status st;
    if (transaction_) {
      try {
        transaction_->rollback(&st);
      } catch (const FbException&) {
        transaction_->release();
      }
      transaction_ = nullptr;
    }
    // A detach that succeeds releases the attachment: the reference taken
    // here keeps it for a cancel that comes meanwhile.
    attachment_->addRef();
    try {
      attachment_->detach(&st);
    } catch (const FbException&) {
      attachment_->release();
    }
    IAttachment* detached;
    {
      std::lock_guard lock(cancelling_);
      detached = std::exchange(attachment_, nullptr);
    }
    detached->release();
  }

 private:
  IAttachment* attachment_;  // changed under cancelling_, which cancel() holds
  ITransaction* transaction_ = nullptr;
  std::mutex cancelling_;
};

}  // namespace movrano::db::firebird_detail
