#pragma once
// What each of the programs sets before anything else runs.

namespace qm {

// DLLs load from the system folder only, never from the folder the program
// was started from or its working folder (an installer runs elevated from
// download folders where any DLL may lie beside it); and a drive without a
// medium fails quietly instead of raising the system's "no disk" box.
void HardenProcess();

}  // namespace qm
