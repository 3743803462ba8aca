// A library that exists only beside the Win32 program test: the program's start-up routine must
// keep a search by its bare name from finding it there.
extern "C" __declspec(dllexport) int TavoPlanted() { return 42; }
