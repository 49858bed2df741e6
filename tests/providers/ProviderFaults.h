// The faults the test provider can raise, one implementation per target.
#pragma once

// A write to an unmapped address.
void CauseProcessorFault();
// Windows: RaiseException with the code (non-continuable). POSIX: raise(code).
void RaiseFault(unsigned long code);
