#include "services/soap/Envelope.h"

#include "platform/Text.h"
#include "services/soap/Errors.h"
#include "services/soap/Registries.h"

namespace movrano::soap {

std::string WriteRequestEnvelope(const Serializer& serializer, const InterfaceEntry& intf,
                                 const std::vector<SOAPHeader*>& headers,
                                 const std::function<void(XmlWriter&)>& writeBody) {
  XmlWriter w;
  w.Start("SOAP-ENV:Envelope");
  w.Attribute("xmlns:SOAP-ENV", kSoapEnvelopeNamespace);
  w.Attribute("xmlns:xsd", kXmlSchemaNamespace);
  w.Attribute("xmlns:xsi", kXmlSchemaInstanceNamespace);
  if (!headers.empty()) {
    w.Start("SOAP-ENV:Header");
    for (const SOAPHeader* header : headers) {
      const HeaderEntry* entry = intf.HeaderFor(typeid(*header));
      if (!entry)
        throw ESOAPMessageError(Format("Header class %s is not registered for this service",
                                       std::string(typeid(*header).name())));
      w.Start(entry->name);
      w.Attribute("xmlns", entry->xmlNamespace);
      if (header->MustUnderstand) w.Attribute("SOAP-ENV:mustUnderstand", "1");
      if (!header->Actor.empty()) w.Attribute("SOAP-ENV:actor", header->Actor);
      serializer.WriteProperties(w, *header);
      w.End();
    }
    w.End();
  }
  w.Start("SOAP-ENV:Body");
  writeBody(w);
  w.End();
  w.End();
  return w.Finish();
}

ResponseEnvelope::ResponseEnvelope(std::string bytes, std::string_view charset)
    : doc_(XmlDocument::Parse(std::move(bytes), charset)) {
  const XmlNode envelope = doc_.Root();
  if (!Is(envelope, kSoapEnvelopeNamespace, "Envelope"))
    throw ESOAPMessageError("The response is not a SOAP 1.1 envelope");
  XmlNode body;
  for (XmlNode n = FirstChildElement(envelope); n; n = NextElement(n))
    if (Is(n, kSoapEnvelopeNamespace, "Body")) body = n;
  if (!body) throw ESOAPMessageError("The SOAP response has no Body");
  body_ = FirstChildElement(body);
  if (body_ && Is(body_, kSoapEnvelopeNamespace, "Fault"))
    fault_ =
        Fault{Trim(TextOf(ChildNamed(body_, "faultcode"))),
              TextOf(ChildNamed(body_, "faultstring")), TextOf(ChildNamed(body_, "faultactor"))};
}

}  // namespace movrano::soap
