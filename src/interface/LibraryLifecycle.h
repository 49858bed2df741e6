// What the library does when the host unloads it.
#pragma once

namespace qorv {

// Forgets the host's window before the runtime finalises.
void OnLibraryUnload();

}  // namespace qorv
