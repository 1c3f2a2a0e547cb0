#pragma once
// The fixed copy plans of the Outpost and Solo Vault sources: one named
// table copy per step, in order. The deployment's statement file must hold
// every statement they name.
#include <vector>

namespace movrano {

// What a step does to its source's "UserScope" column.
enum class TUserScopeConversion { None, CollectUserGUID, ConvertToOrganisationGUID };

struct TCopyStep {
  const char* caption;
  const char* source;  // statement run on the source
  const char* dest;    // statement run once per row on the destination
  TUserScopeConversion userScope = TUserScopeConversion::None;
};

const std::vector<TCopyStep>& OutpostCopyPlan();  // 25 steps
const std::vector<TCopyStep>& SoloCopyPlan();     // 26 steps

}  // namespace movrano
