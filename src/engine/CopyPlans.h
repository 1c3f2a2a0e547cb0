#pragma once
// The fixed copy plans of the Outpost and Solo Vault sources: one named
// table copy per step, in order. The deployment's statement file must hold
// every statement they name. And the rule for the file-store copies.
#include <string>
#include <vector>

#include "platform/DirectoryCopy.h"

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

// A file-store copy arrives whole or ends the run: raises EMovrano naming
// the first entry that the copy skipped, why, and how many entries it
// lacks. `into` says where the copy went ("into the file storage").
void RefuseIncompleteCopy(const std::vector<SkippedEntry>& skipped, const std::string& into);

}  // namespace movrano
