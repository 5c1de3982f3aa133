// Keeps DLLs out of the program's own folder and the current folder.
#ifndef TINTMARK_UI_DLL_GUARD_H
#define TINTMARK_UI_DLL_GUARD_H

// Call first thing at start, before anything loads a DLL on demand.
void restrictDllSearchToSystem();

#endif
