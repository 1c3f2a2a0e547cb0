#include "services/soap/HTTPRIO.h"

#include "platform/Text.h"
#include "services/soap/Envelope.h"
#include "services/soap/Errors.h"
#include "services/soap/XmlEncoding.h"

namespace movrano::soap {
namespace {

// The argument object that is the literal body, or null.
const Remotable* LiteralBody(const Serializer& s, const InterfaceEntry& intf,
                             const RemotableTypeRegistry& types,
                             const std::vector<Argument>& args) {
  if (!(intf.invokeOptions & ioLiteral) || args.size() != 1) return nullptr;
  const auto* object = std::get_if<const Remotable*>(&args[0].value);
  if (!object || !*object || !(types.OptionsOf(**object) & xoLiteralParam)) return nullptr;
  s.EntryOf(typeid(**object));  // refuses an unregistered class up front
  return *object;
}

void ThrowFault(const Fault& f) {
  throw ERemotableException(f.text, f.code, f.actor);
}

}  // namespace

const InterfaceEntry& HTTPRIO::InterfaceFor(std::type_index intf) const {
  const InterfaceEntry* entry = registries_.interfaces.Find(intf);
  if (!entry) throw EIntfCastError("Interface not supported");
  return *entry;
}

ResultValue HTTPRIO::Invoke(std::type_index intf, const std::string& operation,
                            const std::vector<Argument>& args, const ResultSpec& result) {
  const std::vector<SOAPHeader*> headers = headers_.Take();
  const InterfaceEntry& entry = InterfaceFor(intf);
  const Serializer serializer(registries_.types);
  const Remotable* literal = LiteralBody(serializer, entry, registries_.types, args);

  const std::string request = WriteRequestEnvelope(serializer, entry, headers, [&](XmlWriter& w) {
    if (literal) {
      const ClassEntry& cls = serializer.EntryOf(typeid(*literal));
      w.Start(cls.xmlName);
      w.Attribute("xmlns", cls.xmlNamespace);
      serializer.WriteProperties(w, *literal);
      return w.End();
    }
    w.Start(operation);
    w.Attribute("xmlns", entry.xmlNamespace);
    for (const Argument& a : args)
      serializer.WriteArgument(w, entry.ExternalParamName(operation, a.name), a.value);
    w.End();
  });

  const std::string action = entry.SOAPActionFor(operation);
  HttpResponse response = transport_.Post(URL, action, request);
  const std::string charset = CharsetOf(response.contentType);
  if (response.status < 200 || response.status > 299) {
    try {
      const ResponseEnvelope envelope(std::move(response.body), charset);
      if (envelope.fault()) ThrowFault(*envelope.fault());
    } catch (const ESOAPMessageError&) {
      // Not a fault message: the status tells what went wrong.
    }
    throw ESOAPHTTPException(Format("The server answered with HTTP status %d - URL:%s - "
                                    "SOAPAction:%s",
                                    response.status, RedactedUrl(URL), action),
                             response.status);
  }
  if (response.body.empty()) throw ESOAPMessageError("The response is empty");
  const ResponseEnvelope envelope(std::move(response.body), charset);
  if (envelope.fault()) ThrowFault(*envelope.fault());

  const XmlNode body = envelope.BodyElement();
  const std::string expected = literal && !result.none
                                   ? serializer.EntryOf(result.objectType).xmlName
                                   : operation + "Response";
  if (!body || LocalName(body) != expected)
    throw ESOAPMessageError(Format("The response lacks the element %s", expected));
  if (literal) return serializer.ReadResult(body, result);
  if (result.none) return std::monostate{};
  const XmlNode value = FirstChildElement(body);
  if (!value) throw ESOAPMessageError(Format("The response element %s holds no result", expected));
  return serializer.ReadResult(value, result);
}

}  // namespace movrano::soap
