#include "support/db/FirebirdFixture.h"

#include <arpa/inet.h>
#include <firebird/Interface.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "db/firebird/FirebirdClient.h"
#include "db/firebird/FirebirdDriver.h"
#include "platform/Text.h"

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {

bool Answers(const sockaddr* addr, socklen_t length) {
  const int fd = ::socket(addr->sa_family, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const bool ok = ::connect(fd, addr, length) == 0;
  ::close(fd);
  return ok;
}

// On 127.0.0.1 or on ::1: the server binds the first address of
// "localhost", which is ::1 where the hosts file names that first.
bool ServerAnswers() {
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_port = htons(3050);
  v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(3050);
  v6.sin6_addr = in6addr_loopback;
  return Answers(reinterpret_cast<const sockaddr*>(&v4), sizeof v4) ||
         Answers(reinterpret_cast<const sockaddr*>(&v6), sizeof v6);
}

// Removes the folder when the test process ends.
struct TempFolder {
  std::string path;
  TempFolder() {
    std::string pattern = (fs::temp_directory_path() / "movrano-fb-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("Could not make a temporary folder");
    path = pattern;
    // The server runs as its own user and must be able to write here.
    fs::permissions(path, fs::perms::all);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

}  // namespace

db::ConnectionParams TestConnectionParams(const std::string& path) {
  db::ConnectionParams p;
  p.protocol = db::kFirebirdProtocol;
  p.host = kFirebirdHost;
  p.database = path;
  p.user = kFirebirdUser;
  p.password = kFirebirdPassword;
  p.clientCodePage = "UTF8";
  return p;
}

std::unique_ptr<db::Connection> ConnectTestDatabase(const std::string& path, int port) {
  const db::ConnectionParams p = TestConnectionParams(path);
  auto c = std::make_unique<db::Connection>();
  c->setProtocol(p.protocol);
  c->setHostName(p.host);
  c->setPort(port);
  c->setDatabase(p.database);
  c->setUser(p.user);
  c->setPassword(p.password);
  c->setClientCodepage(p.clientCodePage);
  c->connect();
  return c;
}

const std::string& FirebirdTempFolder() {
  static TempFolder folder;
  return folder.path;
}

namespace {

// Statements in SQL dialect 1, which the layer (dialect 3 only) cannot run:
// straight over the client's object API.
void ExecDialect1(const std::string& path, const std::vector<std::string>& statements,
                  bool create) {
  using namespace Firebird;
  IMaster* master = fb_get_master_interface();
  IStatus* raw = master->getStatus();
  ThrowStatusWrapper st(raw);
  const std::string where = std::string(kFirebirdHost) + ":" + path;
  IAttachment* a = nullptr;
  try {
    if (create) {
      const std::string sql = Format("CREATE DATABASE '%s' USER '%s' PASSWORD '%s'", where,
                                     kFirebirdUser, kFirebirdPassword);
      a = master->getUtilInterface()->executeCreateDatabase(&st, 0, sql.c_str(), 1, nullptr);
    } else {
      IXpbBuilder* dpb =
          master->getUtilInterface()->getXpbBuilder(&st, IXpbBuilder::DPB, nullptr, 0);
      dpb->insertString(&st, isc_dpb_user_name, kFirebirdUser);
      dpb->insertString(&st, isc_dpb_password, kFirebirdPassword);
      dpb->insertString(&st, isc_dpb_lc_ctype, "UTF8");
      a = db::firebird_detail::Dispatcher()->attachDatabase(
          &st, where.c_str(), dpb->getBufferLength(&st), dpb->getBuffer(&st));
      dpb->dispose();
    }
    for (const std::string& sql : statements) {
      ITransaction* t = a->startTransaction(&st, 0, nullptr);
      a->execute(&st, t, 0, sql.c_str(), 1, nullptr, nullptr, nullptr, nullptr);
      t->commit(&st);
    }
    a->detach(&st);
  } catch (const FbException& e) {
    char text[512];
    master->getUtilInterface()->formatStatus(text, sizeof text, e.getStatus());
    if (a) a->release();
    raw->dispose();
    throw std::runtime_error(std::string("Dialect 1 script failed: ") + text);
  }
  raw->dispose();
}

}  // namespace

TempFirebirdDatabase TempFirebirdDatabase::Dialect1(const std::string& name) {
  return TempFirebirdDatabase(name, 1);
}

TempFirebirdDatabase::TempFirebirdDatabase(const std::string& name)
    : TempFirebirdDatabase(name, 3) {}

TempFirebirdDatabase::TempFirebirdDatabase(const std::string& name, int dialect)
    : dialect_(dialect) {
  static std::atomic<int> counter{0};
  path_ = FirebirdTempFolder() + "/" + name + "-" + std::to_string(::getpid()) + "-" +
          std::to_string(++counter) + ".fdb";
  if (!ServerAnswers()) {
    throw std::runtime_error(
        "No Firebird server answers on localhost:3050; run scripts/setup.sh to install and start "
        "it");
  }
  if (dialect_ == 1) {
    ExecDialect1(path_, {}, true);
  } else {
    db::CreateFirebirdDatabase(TestConnectionParams(path_));
  }
}

TempFirebirdDatabase::~TempFirebirdDatabase() {
  try {
    db::DropFirebirdDatabase(TestConnectionParams(path_));
  } catch (...) {
    std::error_code ec;
    fs::remove(path_, ec);
  }
}

std::unique_ptr<db::Connection> TempFirebirdDatabase::connect() const {
  return ConnectTestDatabase(path_);
}

void TempFirebirdDatabase::execScript(const std::string& script) const {
  if (dialect_ == 1) {
    ExecDialect1(path_, SplitScript(script), false);
    return;
  }
  auto c = connect();
  ExecScript(*c, script);
}

std::vector<std::string> SplitScript(const std::string& script) {
  std::vector<std::string> statements;
  std::string terminator = ";";
  std::string current;
  size_t i = 0;
  auto flush = [&] {
    const std::string text = Trim(current);
    current.clear();
    if (text.empty()) return;
    if (StartsText("SET TERM", text)) {
      terminator = Trim(text.substr(8));
      return;
    }
    if (SameText(text, "COMMIT") || SameText(text, "COMMIT WORK")) return;  // each runs committed
    statements.push_back(text);
  };
  while (i < script.size()) {
    const char c = script[i];
    if (c == '\'' || c == '"') {
      const size_t end = script.find(c, i + 1);
      const size_t stop = end == std::string::npos ? script.size() : end + 1;
      current.append(script, i, stop - i);
      i = stop;
    } else if (script.compare(i, 2, "--") == 0) {
      const size_t end = script.find('\n', i);
      i = end == std::string::npos ? script.size() : end;
    } else if (script.compare(i, 2, "/*") == 0) {
      const size_t end = script.find("*/", i + 2);
      i = end == std::string::npos ? script.size() : end + 2;
    } else if (script.compare(i, terminator.size(), terminator) == 0) {
      flush();
      i += terminator.size();
    } else {
      current += c;
      ++i;
    }
  }
  flush();
  return statements;
}

void ExecScript(db::Connection& connection, const std::string& script) {
  for (const auto& statement : SplitScript(script))
    connection.executeDirect(statement);
}

}  // namespace movrano::testing
