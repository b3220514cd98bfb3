#pragma once

namespace TestSupport {

// Asks the kernel for a currently unused TCP port on 127.0.0.1. Another process may take it
// before the caller binds it, so servers started on it should still report bind failures.
int freePort();

}  // namespace TestSupport
