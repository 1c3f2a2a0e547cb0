// Reads each input as a SOAP answer: the XML reader, every node of its
// tree, the envelope, and the serializer reading an object of a class that
// has a property of every kind and nests itself.
#include <cstddef>
#include <cstdint>
#include <string>

#include "PeakMemory.h"
#include "services/soap/Describe.h"
#include "services/soap/Envelope.h"
#include "services/soap/Errors.h"
#include "services/soap/Registries.h"
#include "services/soap/Serializer.h"

namespace movrano::fuzz {

MOVRANO_SOAP_CLASS(FuzzItem, soap::Remotable,
                   (std::string, Name)(bool, Flag)(int32_t, Count)(double, Amount)(
                       std::optional<soap::XSDateTime>,
                       When)(soap::TextList, Tags)(std::unique_ptr<FuzzItem>,
                                                   Child)(soap::ObjectList<FuzzItem>, Items));

namespace {

const soap::Serializer& TheSerializer() {
  static const soap::Serializer* serializer = [] {
    soap::Registries& registries = soap::GlobalRegistries();
    registries.types.RegisterXSClass<FuzzItem>("urn:fuzz", "FuzzItem");
    return new soap::Serializer(registries.types);
  }();
  return *serializer;
}

size_t Walk(soap::XmlNode node) {
  size_t seen = 0;
  for (soap::XmlNode n = node; n; n = n.NextSibling()) {
    seen += n.Name().size() + n.Namespace().size() + n.Text().size();
    for (size_t a = 0; a < n.AttributeCount(); ++a)
      seen +=
          n.AttributeName(a).size() + n.AttributeNamespace(a).size() + n.AttributeValue(a).size();
    seen += soap::IsNil(n);
    seen += Walk(n.FirstChild());
  }
  return seen;
}

}  // namespace
}  // namespace movrano::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace movrano;
  const soap::Serializer& serializer = fuzz::TheSerializer();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fuzz::PeakMemory memory;
  try {
    const soap::XmlDocument doc = soap::XmlDocument::Parse(bytes);
    volatile size_t seen = fuzz::Walk(doc.Root());
    (void)seen;
  } catch (const soap::ESOAPMessageError&) {
  }
  try {
    const soap::ResponseEnvelope envelope(bytes);
    if (const soap::XmlNode body = envelope.BodyElement()) {
      serializer.ReadObject(body, typeid(fuzz::FuzzItem));
      serializer.ReadResult(body, soap::ResultSpec{false, soap::PropKind::TextArray});
    }
  } catch (const soap::ESOAPMessageError&) {
  }
  // The reader's tree, and values the serializer allows a few times the
  // answer's size.
  memory.Check(size, 64, size_t{16} << 20);
  return 0;
}
