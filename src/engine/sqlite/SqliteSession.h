#pragma once
// Private to the engine: the storage of a database file.
struct sqlite3;

namespace tarnwick::engine {

// Registers like() (the dialect's Like), tw_date(), tw_datevalue(),
// tw_len(), tw_text(), the text functions (tw_ucase, tw_lcase, tw_trim,
// tw_ltrim, tw_rtrim, tw_mid), tw_today() and tw_now().
void registerFunctions(sqlite3* db);

}  // namespace tarnwick::engine
