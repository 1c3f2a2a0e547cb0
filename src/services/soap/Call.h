#pragma once
// Typed calls on a client object, and the base of the generated proxies:
// RioProxy<Intf> implements a service interface's header access on top of
// a shared HTTPRIO, and CastTo hands the client out as that interface.
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <utility>
#include <vector>

#include "services/soap/HTTPRIO.h"
#include "services/soap/IInvokable.h"

namespace movrano::soap {

namespace detail {

template <class R>
struct Result;
template <>
struct Result<void> {
  static ResultSpec Spec() { return {}; }
  static void From(ResultValue&&) {}
};
template <class T, PropKind K>
struct ValueResult {
  static ResultSpec Spec() { return {false, K, typeid(void)}; }
  static T From(ResultValue&& v) { return std::get<T>(std::move(v)); }
};
template <>
struct Result<std::string> : ValueResult<std::string, PropKind::Text> {};
template <>
struct Result<bool> : ValueResult<bool, PropKind::Boolean> {};
template <>
struct Result<int32_t> : ValueResult<int32_t, PropKind::Integer> {};
template <>
struct Result<double> : ValueResult<double, PropKind::Double> {};
template <>
struct Result<std::optional<XSDateTime>>
    : ValueResult<std::optional<XSDateTime>, PropKind::DateTime> {};
template <class T>
struct Result<std::unique_ptr<T>> {
  static ResultSpec Spec() { return {false, PropKind::Object, typeid(T)}; }
  static std::unique_ptr<T> From(ResultValue&& v) {
    return Downcast<T>(std::get<std::unique_ptr<Remotable>>(std::move(v)));
  }
};

}  // namespace detail

template <class R>
R Call(HTTPRIO& rio, std::type_index intf, const std::string& operation,
       const std::vector<Argument>& args = {}) {
  return detail::Result<R>::From(rio.Invoke(intf, operation, args, detail::Result<R>::Spec()));
}

template <class Intf>
class RioProxy : public Intf {
 public:
  explicit RioProxy(std::shared_ptr<HTTPRIO> rio) : rio_(std::move(rio)) {}
  ISOAPHeaders& SOAPHeaders() override { return rio_->SOAPHeaders(); }

 protected:
  template <class R>
  R call(const std::string& operation, const std::vector<Argument>& args = {}) {
    return Call<R>(*rio_, typeid(Intf), operation, args);
  }

 private:
  std::shared_ptr<HTTPRIO> rio_;
};

// The client as a registered interface; EIntfCastError when it is not one.
template <class Intf, class Proxy>
std::shared_ptr<Intf> CastTo(const std::shared_ptr<HTTPRIO>& rio) {
  rio->InterfaceFor(typeid(Intf));
  return std::make_shared<Proxy>(rio);
}

}  // namespace movrano::soap
