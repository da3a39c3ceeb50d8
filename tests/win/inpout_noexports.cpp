// A DLL named inpoutx64.dll that is not InpOut32: it exports neither Out32
// nor Inp32 (built into a folder of its own, inpout_noexports/).
extern "C" __declspec(dllexport) int NotInpOut32() { return 0; }
