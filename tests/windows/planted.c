/* A library planted beside the program, as one downloaded next to it would be: it must never be
   loaded in place of the system's. */
__declspec(dllexport) int planted(void) { return 1; }
