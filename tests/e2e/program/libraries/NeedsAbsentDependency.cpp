// A QuorvaneLib.dll whose one import cannot be found: Windows refuses it with
// error 126, the same number as a missing library.
extern "C" __declspec(dllimport) int LumagridAbsentDependency();

extern "C" __declspec(dllexport) int registerQuorvaneUSBEvent(void*) { return LumagridAbsentDependency(); }
