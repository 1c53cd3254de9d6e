// A library file the driver's tests copy in as QuorvaneLib.dll: the stand-in
// reports the answer, which proves which file it loaded.
extern "C" __declspec(dllexport) int standinAnswer(void) { return 42; }
