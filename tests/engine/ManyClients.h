#pragma once
// Many client processes on one database, each for a while adding records
// and adding one to shared counters through the engine (OpenRecordset,
// Edit, Update), as the users of one front end do. A client whose save
// meets another user's change (3197) or lock (3260) reads the record again
// and tries once more; any other error is counted apart. Each client tells
// the parent what it did, so that the parent can hold the database to it.
// Shared by the test and the benchmark.
#include <tarnwick/automation/Convert.h>
#include <tarnwick/automation/Error.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/engine/DBEngine.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tarnwick::testing {

inline constexpr int kSharedCounters = 4;

// What one client did; written whole through a pipe (well under the size
// the system writes at once).
struct ClientTally {
  std::int64_t added = 0;                         // records added
  std::int64_t increments[kSharedCounters] = {};  // saved increments, by counter
  std::int64_t conflicts = 0;                     // saves refused with 3197
  std::int64_t locked = 0;                        // edits or saves refused with 3260
  std::int64_t other = 0;                         // any other error
  std::int32_t otherNumber = 0;                   // the first of those
  char otherText[200] = {};
  bool lockEdits = false;

  std::int64_t saves() const {
    std::int64_t n = added;
    for (std::int64_t i : increments) n += i;
    return n;
  }
};

// The tables the clients share: Counters(Id, Hits) with kSharedCounters
// records at 0, and Added(AddedId counter, Client, Note).
inline void makeSharedCounters(const std::u16string& name) {
  Object dbEngine(engine::DBEngine::forThisThread().as<IDispatch>());
  Object db(dbEngine.call(u"CreateDatabase", name));
  db.call(u"Execute", u"CREATE TABLE Counters (Id LONG PRIMARY KEY, Hits LONG NOT NULL)");
  db.call(u"Execute", u"CREATE TABLE Added (AddedId COUNTER PRIMARY KEY, Client LONG NOT NULL, Note TEXT(30))");
  for (int i = 1; i <= kSharedCounters; ++i)
    db.call(u"Execute", u"INSERT INTO Counters VALUES (" + fromUtf8(std::to_string(i)) + u", 0)");
  db.call(u"Close");
}

namespace detail {

inline void noteOther(ClientTally& tally, const Error& e) {
  if (tally.other++ == 0) {
    tally.otherNumber = e.number();
    const std::string text = toUtf8(e.description());
    std::strncpy(tally.otherText, text.c_str(), sizeof tally.otherText - 1);
  }
}

// One client's work until `until`, on a database it has opened.
inline void work(const Object& db, int client, ClientTally& tally, std::chrono::steady_clock::time_point until) {
  const Object added(db.call(u"OpenRecordset", u"Added", Variant(std::int16_t{2})));
  const Object counters(db.call(u"OpenRecordset", u"Counters", Variant(std::int16_t{2})));
  counters.put(u"LockEdits", Variant(tally.lockEdits));
  std::uint32_t random = 2654435761u * static_cast<std::uint32_t>(client + 1);
  while (std::chrono::steady_clock::now() < until) {
    try {
      added.call(u"AddNew");
      added.put(u"Collect", {Variant(u"Client")}, Variant(client));
      added.put(u"Collect", {Variant(u"Note")}, Variant(u"client " + fromUtf8(std::to_string(client))));
      added.call(u"Update");
      ++tally.added;
    } catch (const Error& e) {
      noteOther(tally, e);
      try {
        added.call(u"CancelUpdate");
      } catch (const Error&) {
      }
    }
    random = random * 1103515245u + 12345u;
    const int id = static_cast<int>((random >> 16) % kSharedCounters) + 1;
    try {
      counters.call(u"FindFirst", Variant(u"Id = " + fromUtf8(std::to_string(id))));
    } catch (const Error& e) {
      noteOther(tally, e);
      continue;
    }
    // Edit reads the record as it is now (after a refusal too), so a
    // retried increment counts from the other user's value.
    for (bool saved = false; !saved && std::chrono::steady_clock::now() < until + std::chrono::seconds(2);) {
      try {
        counters.call(u"Edit");
        const std::int32_t hits = toInt32(counters.get(u"Collect", {Variant(u"Hits")}));
        counters.put(u"Collect", {Variant(u"Hits")}, Variant(hits + 1));
        counters.call(u"Update");
        ++tally.increments[id - 1];
        saved = true;
      } catch (const Error& e) {
        if (e.number() == errc::WriteConflict) {
          ++tally.conflicts;
        } else if (e.number() == errc::RecordLocked) {
          ++tally.locked;
          ::usleep(200);
        } else {
          noteOther(tally, e);
          break;
        }
        try {
          counters.call(u"CancelUpdate");
        } catch (const Error&) {
        }
      }
    }
  }
}

inline void writeAll(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, at, size);
    if (n <= 0) return;
    at += n;
    size -= static_cast<std::size_t>(n);
  }
}

}  // namespace detail

struct ManyClientsRun {
  std::vector<ClientTally> tallies;  // one per client that reported
  int failedProcesses = 0;           // clients that ended otherwise than by reporting
  double seconds = 0;                // from the start signal to the last report

  ClientTally total() const {
    ClientTally sum;
    for (const ClientTally& t : tallies) {
      sum.added += t.added;
      for (int i = 0; i < kSharedCounters; ++i) sum.increments[i] += t.increments[i];
      sum.conflicts += t.conflicts;
      sum.locked += t.locked;
      if (sum.other == 0 && t.other > 0) {
        sum.otherNumber = t.otherNumber;
        std::memcpy(sum.otherText, t.otherText, sizeof sum.otherText);
      }
      sum.other += t.other;
    }
    return sum;
  }
  double savesPerSecond() const { return seconds > 0 ? static_cast<double>(total().saves()) / seconds : 0; }
  // Refusals (3197 and 3260) per thousand saves.
  double refusalsPerThousand() const {
    const ClientTally t = total();
    return t.saves() > 0 ? 1000.0 * static_cast<double>(t.conflicts + t.locked) / static_cast<double>(t.saves()) : 0;
  }
};

// Runs `clients` processes (forked: the caller must hold no open database)
// on the database `name`; every `lockEvery`-th one (none when 0) edits with
// LockEdits. All open the database first, then work for `seconds` from one
// signal.
inline ManyClientsRun runManyClients(const std::u16string& name, int clients, double seconds, int lockEvery) {
  int ready[2], go[2], results[2];
  if (::pipe(ready) != 0 || ::pipe(go) != 0 || ::pipe(results) != 0) raise(errc::InvalidProcedureCall, u"no pipes for the clients");
  std::vector<pid_t> children;
  for (int client = 0; client < clients; ++client) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      ::close(results[0]);
      ClientTally tally;
      tally.lockEdits = lockEvery > 0 && client % lockEvery == 0;
      try {
        Object dbEngine(engine::DBEngine::forThisThread().as<IDispatch>());
        Object db(dbEngine.call(u"OpenDatabase", name));
        detail::writeAll(ready[1], "r", 1);
        char c = 0;
        (void)!::read(go[0], &c, 1);  // end of file: the start signal
        const auto until = std::chrono::steady_clock::now() +
                           std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(seconds));
        detail::work(db, client, tally, until);
        db.call(u"Close");
      } catch (const Error& e) {
        detail::noteOther(tally, e);
        detail::writeAll(ready[1], "r", 1);
      }
      detail::writeAll(results[1], &tally, sizeof tally);
      ::_exit(0);
    }
    if (pid > 0) children.push_back(pid);
  }
  ::close(ready[1]);
  ::close(go[0]);
  ::close(results[1]);
  ManyClientsRun run;
  char c = 0;
  for (std::size_t n = 0; n < children.size() && ::read(ready[0], &c, 1) == 1; ++n) {
  }
  const auto start = std::chrono::steady_clock::now();
  ::close(go[1]);
  ClientTally tally;
  std::size_t got = 0;
  for (;;) {
    const ssize_t n = ::read(results[0], reinterpret_cast<char*>(&tally) + got, sizeof tally - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
    if (got == sizeof tally) {
      run.tallies.push_back(tally);
      got = 0;
    }
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::close(ready[0]);
  ::close(results[0]);
  for (const pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++run.failedProcesses;
  }
  run.failedProcesses += clients - static_cast<int>(children.size());
  return run;
}

}  // namespace tarnwick::testing
