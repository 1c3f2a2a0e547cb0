// Headers attached for one call: attached in order, and whatever no call
// took is withdrawn when the scope ends, however it ends.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "platform/Exceptions.h"
#include "services/IDS.h"
#include "services/soap/AttachedHeaders.h"

namespace movrano::soap {
namespace {

using Headers = std::vector<SOAPHeader*>;

// What waits for the next call, seen through the queue's own interface.
Headers Waiting(PendingHeaders& pending) {
  Headers waiting = pending.Take();
  for (SOAPHeader* header : waiting)
    pending.Send(header);
  return waiting;
}

TEST(AttachedHeaders, WaitInOrderForTheNextCallAndGoWithTheScope) {
  PendingHeaders pending;
  IDS::SessionID earlier;
  pending.Send(&earlier);
  IDS::SessionID session;
  IDS::APIVersion version;
  {
    const AttachedHeaders attached(pending, {&session, &version});
    EXPECT_EQ(Waiting(pending), (Headers{&earlier, &session, &version}));
  }
  // What was attached before the scope is not the scope's to take back.
  EXPECT_EQ(Waiting(pending), Headers{&earlier});
}

TEST(AttachedHeaders, AFailureInTheScopeLeavesNoHeaderBehind) {
  PendingHeaders pending;
  IDS::APIVersion version;
  EXPECT_THROW(
      {
        const AttachedHeaders attached(pending, {&version});
        throw std::runtime_error("the call failed before it took its headers");
      },
      std::runtime_error);
  EXPECT_TRUE(Waiting(pending).empty());
}

TEST(AttachedHeaders, HeadersACallTookStayTakenAndANullOneUndoesTheRest) {
  PendingHeaders pending;
  IDS::SessionID session;
  IDS::APIVersion version;
  {
    const AttachedHeaders attached(pending, {&session, &version});
    EXPECT_EQ(pending.Take(), (Headers{&session, &version}));  // the call
  }
  EXPECT_TRUE(Waiting(pending).empty());

  EXPECT_THROW(AttachedHeaders(pending, {&session, nullptr}), EAssertionFailed);
  EXPECT_TRUE(Waiting(pending).empty());
}

}  // namespace
}  // namespace movrano::soap
