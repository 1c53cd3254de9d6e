// A DLL that is built but never placed beside the programs: a library that
// imports it cannot be loaded, as a maker's library whose runtime is missing.
extern "C" __declspec(dllexport) int LumagridAbsentDependency() { return 1; }
