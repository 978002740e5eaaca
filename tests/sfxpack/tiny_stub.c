/* A stand-in stub for the packing tests: the smallest Windows program, no C runtime. */
void __stdcall TinyStart(void) {}
