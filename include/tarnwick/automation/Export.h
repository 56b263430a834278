#pragma once
// What the library's binaries show to others. libtarnwick.so and
// libtarnwick_qt.so are built with hidden symbols: a class or function
// that another binary uses (a client, the Qt host, the Python module, the
// tools, the tests) carries TARNWICK_API, and everything else stays inside
// the binary that defines it. A marked class shows all its members, its
// virtual function table and its type information, which a catch or a
// dynamic_cast in another binary needs. Templates and inline functions need
// no mark: each binary makes its own.
//
// On Linux one mark serves both sides, building the library and using it.
#define TARNWICK_API __attribute__((visibility("default")))
