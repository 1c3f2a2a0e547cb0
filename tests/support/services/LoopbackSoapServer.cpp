#include "support/services/LoopbackSoapServer.h"

#include <httplib.h>

#include "services/soap/Envelope.h"
#include "services/soap/Errors.h"
#include "support/platform/Waits.h"

namespace movrano::testing {

using soap::FirstChildElement;
using soap::LocalName;
using soap::NextElement;

LoopbackSoapServer::LoopbackSoapServer(Handler handler)
    : handler_(std::move(handler)), server_(std::make_unique<httplib::Server>()) {
  server_->Post("/", [this](const httplib::Request& req, httplib::Response& res) {
    ReceivedRequest r;
    r.target = req.target;
    r.soapAction = req.get_header_value("SOAPAction");
    r.contentType = req.get_header_value("Content-Type");
    r.acceptEncoding = req.get_header_value("Accept-Encoding");
    r.xml = req.body;
    Answer a = handle(std::move(r));
    res.status = a.status;
    const char* type = "text/xml; charset=utf-8";
    // Shared by the content providers, which may outlive this call.
    const auto body = std::make_shared<const std::string>(std::move(a.body));
    if (a.trickle.count() > 0) {
      const auto end = std::chrono::steady_clock::now() + a.trickleLasting;
      return res.set_content_provider(
          body->size(), type,
          [this, body, every = a.trickle, end](size_t offset, size_t, httplib::DataSink& sink) {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, every, [this] { return stopping_; }) ||
                std::chrono::steady_clock::now() >= end)
              return false;
            lock.unlock();
            return sink.write(body->data() + offset, 1);
          });
    }
    if (a.stallHalfWay.count() > 0)
      return res.set_content_provider(
          body->size(), type,
          [this, body, stall = a.stallHalfWay](size_t, size_t, httplib::DataSink& sink) {
            sink.write(body->data(), body->size() / 2);
            std::unique_lock lock(mutex_);
            stopped_.wait_for(lock, stall, [this] { return stopping_; });
            return false;  // the rest never comes
          });
    // The server compresses a body it is given whole when the request
    // accepts it, and leaves one from a content provider as it is.
    if (!a.raw || body->empty()) return res.set_content(*body, type);
    if (!a.contentEncoding.empty()) res.set_header("Content-Encoding", a.contentEncoding);
    res.set_content_provider(body->size(), type,
                             [body](size_t offset, size_t length, httplib::DataSink& sink) {
                               return sink.write(body->data() + offset, length);
                             });
  });
  port_ = server_->bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("The loopback SOAP server cannot bind");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  // stop() is ignored by a server that is not running yet.
  WaitUntil([this] { return server_->is_running(); }, "the loopback SOAP server to listen",
            std::chrono::seconds(30), std::chrono::milliseconds(1));
}

LoopbackSoapServer::~LoopbackSoapServer() {
  Stop();
}

void LoopbackSoapServer::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

std::string LoopbackSoapServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?cls=soap";
}

std::vector<ReceivedRequest> LoopbackSoapServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

size_t LoopbackSoapServer::CountOf(const std::string& soapAction) const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const ReceivedRequest& r : requests_)
    n += r.soapAction == soapAction;
  return n;
}

void LoopbackSoapServer::FailNext(const std::string& soapAction, Failure failure) {
  std::lock_guard lock(mutex_);
  once_.emplace(soapAction, std::move(failure));
}

void LoopbackSoapServer::FailAlways(const std::string& soapAction, Failure failure) {
  std::lock_guard lock(mutex_);
  always_.insert_or_assign(soapAction, std::move(failure));
}

std::optional<Failure> LoopbackSoapServer::takeFailure(const std::string& action) {
  std::lock_guard lock(mutex_);
  for (const std::string& key : {action, std::string()}) {
    if (auto it = once_.find(key); it != once_.end()) {
      Failure f = std::move(it->second);
      once_.erase(it);
      return f;
    }
    if (auto it = always_.find(key); it != always_.end()) return it->second;
  }
  return std::nullopt;
}

LoopbackSoapServer::Answer LoopbackSoapServer::handle(ReceivedRequest r) {
  std::string& action = r.soapAction;  // without its quotes
  if (action.size() >= 2 && action.front() == '"' && action.back() == '"')
    action = action.substr(1, action.size() - 2);

  std::optional<soap::XmlDocument> doc;
  soap::XmlNode body;
  try {
    doc.emplace(soap::XmlDocument::Parse(r.xml));
    const soap::XmlNode envelope = doc->Root();
    for (soap::XmlNode part = FirstChildElement(envelope); part; part = NextElement(part)) {
      if (soap::Is(part, soap::kSoapEnvelopeNamespace, "Header"))
        for (soap::XmlNode h = FirstChildElement(part); h; h = NextElement(h))
          r.headers.push_back(
              {std::string(h.Namespace()), std::string(LocalName(h)), soap::TextOf(h)});
      if (soap::Is(part, soap::kSoapEnvelopeNamespace, "Body")) body = FirstChildElement(part);
    }
  } catch (const soap::ESOAPMessageError&) {
  }
  if (body) {
    r.bodyNs = body.Namespace();
    r.bodyName = LocalName(body);
    for (soap::XmlNode c = FirstChildElement(body); c; c = NextElement(c))
      r.bodyChildren.emplace_back(LocalName(c));
  }
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(r);
  }
  if (!body) return {400, FaultEnvelope({"SOAP-ENV:Client", "The request is not a SOAP message"})};

  std::optional<Failure> f = takeFailure(r.soapAction);
  if (f) {
    switch (f->kind) {
      case Failure::Kind::Fault:
        return {500, FaultEnvelope({"SOAP-ENV:Server", f->text})};
      case Failure::Kind::Raw:
        return {f->status, std::move(f->text), true, std::move(f->contentEncoding)};
      case Failure::Kind::Stall: {
        std::unique_lock lock(mutex_);
        stopped_.wait_for(lock, f->stall, [this] { return stopping_; });
        break;
      }
      case Failure::Kind::StallHalfWay:
      case Failure::Kind::Trickle:
        break;
    }
  }
  try {
    Answer a{200, AnswerEnvelope([&](soap::XmlWriter& w) { handler_(r, body, w); })};
    if (f && f->kind == Failure::Kind::StallHalfWay) a.stallHalfWay = f->stall;
    if (f && f->kind == Failure::Kind::Trickle) a.trickle = f->stall, a.trickleLasting = f->lasting;
    return a;
  } catch (const SoapFault& fault) {
    return {500, FaultEnvelope(fault)};
  }
}

std::string AnswerEnvelope(const std::function<void(soap::XmlWriter&)>& writeBody) {
  soap::XmlWriter w;
  w.Start("SOAP-ENV:Envelope");
  w.Attribute("xmlns:SOAP-ENV", soap::kSoapEnvelopeNamespace);
  w.Attribute("xmlns:xsi", soap::kXmlSchemaInstanceNamespace);
  w.Start("SOAP-ENV:Body");
  writeBody(w);
  w.End();
  w.End();
  return w.Finish();
}

std::string FaultEnvelope(const SoapFault& fault) {
  return AnswerEnvelope([&](soap::XmlWriter& w) {
    w.Start("SOAP-ENV:Fault");
    w.Element("faultcode", fault.code);
    w.Element("faultstring", fault.text);
    w.End();
  });
}

std::string ChildText(soap::XmlNode parent, const char* name) {
  return soap::TextOf(soap::ChildNamed(parent, name));
}

std::vector<std::string> ChildTexts(soap::XmlNode list) {
  std::vector<std::string> texts;
  for (soap::XmlNode item = FirstChildElement(list); item; item = NextElement(item))
    texts.push_back(soap::TextOf(item));
  return texts;
}

}  // namespace movrano::testing
