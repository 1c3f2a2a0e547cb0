#pragma once
// Registers both services' types with the process-wide registries once,
// as the program's start-up does; every test that calls a service uses it.
namespace movrano::testing {

void RegisterServiceTypesOnce();

}  // namespace movrano::testing
