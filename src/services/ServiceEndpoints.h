#pragma once
// Where the two services live: the one service namespace URI both are
// registered under, and the default endpoints of the port getters. The
// only place these addresses are written.
namespace movrano {

// Must equal the target namespace of the services' descriptions.
inline constexpr const char* kTavrinServicesNamespace = "http://services.tavrinlive.example/soap";

inline constexpr const char* kDefaultIDSEndpoint = "http://localhost:9681/?cls=soap";
inline constexpr const char* kDefaultTavrinGlobalCatalogEndpoint =
    "http://catalog.tavrinlive.example/?cls=soap";

}  // namespace movrano
