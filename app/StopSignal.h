#pragma once

// Ctrl+C as a Stop request: the first interrupt only sets a flag that the split run polls;
// a second one ends the program at once.
void InstallStopSignalHandler();
bool StopRequested();
// Same effect as an interrupt; used where no terminal is involved.
void RequestStop();
void ClearStopRequest();
