#pragma once
// Declares a data class once: its fields and the description of them that
// the type registry reads.
//
//   MOVRANO_SOAP_CLASS(IDS_Parameter, soap::Remotable,
//                      (std::string, Name_)(std::string, Value))
//
// makes a class with public, value-initialised fields in that order, whose
// static DescribeOwnProperties lists them for the serializer. The base's
// properties come first on the wire; SoapBase names the base.
// MOVRANO_SOAP_WRAPPER declares a request or response wrapper: a class
// derived from Remotable that is a literal message body (xoLiteralParam).
//
// Field types: std::string, bool, int32_t, double,
// std::optional<soap::XSDateTime>, soap::TextList, std::unique_ptr<Class>,
// soap::ObjectList<Class>. A type must not contain a comma.
#include "services/soap/Properties.h"

#define MOVRANO_SOAP_CAT_I(a, b) a##b
#define MOVRANO_SOAP_CAT(a, b) MOVRANO_SOAP_CAT_I(a, b)

// A sequence (T, f)(T, f)... is walked by two macros that hand over to
// each other; the last one left is pasted with _END into nothing.
#define MOVRANO_SOAP_FIELD_A(T, f) \
  T f{};                           \
  MOVRANO_SOAP_FIELD_B
#define MOVRANO_SOAP_FIELD_B(T, f) \
  T f{};                           \
  MOVRANO_SOAP_FIELD_A
#define MOVRANO_SOAP_FIELD_A_END
#define MOVRANO_SOAP_FIELD_B_END
#define MOVRANO_SOAP_FIELDS(seq) MOVRANO_SOAP_CAT(MOVRANO_SOAP_FIELD_A seq, _END)

#define MOVRANO_SOAP_PROP_A(T, f)                              \
  list.push_back(::movrano::soap::MakeProperty<&Self::f>(#f)); \
  MOVRANO_SOAP_PROP_B
#define MOVRANO_SOAP_PROP_B(T, f)                              \
  list.push_back(::movrano::soap::MakeProperty<&Self::f>(#f)); \
  MOVRANO_SOAP_PROP_A
#define MOVRANO_SOAP_PROP_A_END
#define MOVRANO_SOAP_PROP_B_END
#define MOVRANO_SOAP_PROPS(seq) MOVRANO_SOAP_CAT(MOVRANO_SOAP_PROP_A seq, _END)

#define MOVRANO_SOAP_CLASS_BODY(Name, Base, seq)                                            \
 public:                                                                                    \
  using SoapBase = Base;                                                                    \
  MOVRANO_SOAP_FIELDS(seq)                                                                  \
  static void DescribeOwnProperties([[maybe_unused]] ::movrano::soap::PropertyList& list) { \
    using Self [[maybe_unused]] = Name;                                                     \
    MOVRANO_SOAP_PROPS(seq)                                                                 \
  }

#define MOVRANO_SOAP_CLASS(Name, Base, seq)  \
  class Name : public Base {                 \
    MOVRANO_SOAP_CLASS_BODY(Name, Base, seq) \
  }

#define MOVRANO_SOAP_WRAPPER(Name, seq)                                \
  class Name : public ::movrano::soap::Remotable {                     \
    MOVRANO_SOAP_CLASS_BODY(Name, ::movrano::soap::Remotable, seq)     \
    Name() { serializationOptions = ::movrano::soap::xoLiteralParam; } \
  }
