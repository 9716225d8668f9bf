#pragma once
// Before a Qt application object is made: a session without XDG_RUNTIME_DIR (a console,
// CI, a container) gets a private runtime directory, as Qt would make itself, but without
// printing a warning on every run.

namespace tivane {

void PrepareQtEnvironment();

} // namespace tivane
