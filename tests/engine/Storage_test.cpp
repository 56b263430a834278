// The storage interface as the engine above it relies on it, the same on
// every backend: values read in the engine's terms, write scopes that undo
// a refused change alone, and a session that refuses work once closed.
#include "../../src/engine/Connection.h"
#include "../../src/engine/Dialect.h"
#include "EngineTesting.h"
#include "PgTesting.h"

#include <tarnwick/automation/Error.h>

namespace tarnwick::engine {
namespace {

using testing::Backend;

class StorageOn : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    if (!database_.available()) GTEST_SKIP() << "TARNWICK_TEST_PG names no server (scripts/test.sh starts one)";
    connection_ = std::make_unique<Connection>(std::filesystem::path(toUtf8(database_.name())), true, false, 2000);
  }
  Connection& c() { return *connection_; }
  std::int64_t count(const std::string& table) {
    Statement& s = c().cached("SELECT count(*) FROM " + table);
    s.step();
    const std::int64_t n = s.int64(0);
    s.reset();
    return n;
  }

  testing::TestDatabase database_{GetParam()};
  std::unique_ptr<Connection> connection_;
};

TEST_P(StorageOn, ColumnsAreReadInTheEnginesTermsWhateverTheStorageKeeps) {
  c().exec("CREATE TABLE tw_kinds (k INTEGER PRIMARY KEY, r DOUBLE PRECISION, t VARCHAR(20), n INTEGER)");
  Statement& insert = c().cached("INSERT INTO tw_kinds (k, r, t, n) VALUES (?, ?, ?, ?)");
  for (std::int64_t k = 1; k <= 2; ++k) {
    insert.bind(1, RawValue(k));
    insert.bind(2, RawValue(2.5));
    insert.bind(3, RawValue(std::string("zwölf")));
    insert.bind(4, RawValue());
    insert.step();
    insert.reset();
  }
  Statement& read = c().cached("SELECT k, r, t, n FROM tw_kinds ORDER BY k");
  ASSERT_EQ(read.columnCount(), 4);
  ASSERT_TRUE(read.step());
  EXPECT_EQ(read.kind(0), StoredKind::Integer);
  EXPECT_EQ(read.kind(1), StoredKind::Real);
  EXPECT_EQ(read.kind(2), StoredKind::Text);
  EXPECT_EQ(read.kind(3), StoredKind::Null);
  EXPECT_TRUE(read.isNull(3));
  EXPECT_EQ(read.raw(0), RawValue(std::int64_t{1}));
  EXPECT_EQ(read.raw(1), RawValue(2.5));
  EXPECT_EQ(read.raw(2), RawValue(std::string("zwölf")));
  EXPECT_EQ(read.raw(3), RawValue());
  EXPECT_EQ(read.value(0, FieldType::Long).valueType(), VT_I4);
  EXPECT_EQ(toUtf8(read.value(2, FieldType::Text).text()), "zwölf");
  EXPECT_TRUE(read.value(3, FieldType::Long).isNull());
  EXPECT_EQ(read.columnName(2), "t");
  // Equal stored values have equal images, whichever row holds them.
  const std::string first = read.image(1, 3);
  ASSERT_TRUE(read.step());
  EXPECT_EQ(read.image(1, 3), first);
  EXPECT_NE(read.image(0, 1), std::string());
  EXPECT_FALSE(read.step());
  read.reset();
}

TEST_P(StorageOn, AWriteScopeUndoesARefusedChangeAloneAndCommitsWhole) {
  c().exec("CREATE TABLE tw_scoped (k INTEGER PRIMARY KEY)");
  const auto insert = [&](std::int64_t k) {
    Statement& s = c().cached("INSERT INTO tw_scoped (k) VALUES (?)");
    s.bind(1, k);
    s.step();
    s.reset();
  };
  // Outside a transaction: a scope not committed leaves nothing behind.
  {
    WriteScope scope(c().session());
    insert(1);
  }
  EXPECT_EQ(count("tw_scoped"), 0);
  {
    WriteScope scope(c().session());
    insert(1);
    scope.commit();
  }
  EXPECT_EQ(count("tw_scoped"), 1);
  // Inside one: the refused change goes alone, the transaction stays usable.
  c().begin();
  insert(2);
  {
    WriteScope scope(c().session());
    try {
      insert(1);
      ADD_FAILURE() << "a duplicate key was saved";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::DuplicateKey);
    }
  }
  insert(3);
  c().commit();
  EXPECT_EQ(count("tw_scoped"), 3);
  // An undone transaction counts as a write: what was read may differ.
  const std::uint64_t writes = c().writeCount();
  c().begin();
  insert(4);
  c().rollback();
  EXPECT_GT(c().writeCount(), writes);
  EXPECT_EQ(count("tw_scoped"), 3);
  EXPECT_EQ(errorOf([&] { c().commit(); }).number(), errc::NoTransaction);
}

TEST_P(StorageOn, AClosedSessionRefusesEveryCallButLettingGo) {
  c().exec("CREATE TABLE tw_closed (k INTEGER)");
  std::shared_ptr<Statement> kept = c().sharedCached("SELECT k FROM tw_closed");
  EXPECT_TRUE(c().isOpen());
  c().close();
  EXPECT_FALSE(c().isOpen());
  EXPECT_EQ(errorOf([&] { c().exec("DELETE FROM tw_closed"); }).number(), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { c().prepare("SELECT 1"); }).number(), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { c().cached("SELECT 1"); }).number(), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { c().begin(); }).number(), errc::ObjectInvalid);
  EXPECT_EQ(errorOf([&] { c().holdReads(); }).number(), errc::ObjectInvalid);
  c().releaseReads();
  c().close();
  // A statement held past the close goes quietly.
  kept.reset();
}

TEST_P(StorageOn, OtherSessionsCommitsShowWhereTheStorageTellsThem) {
  c().exec("CREATE TABLE tw_others (k INTEGER)");
  Connection other(std::filesystem::path(toUtf8(database_.name())), false, false, 2000);
  const std::int64_t before = c().othersCommitMark();
  other.exec("INSERT INTO tw_others (k) VALUES (1)");
  const std::int64_t after = c().othersCommitMark();
  // A file tells another connection's commit; a server session keeps what
  // it read until it writes itself, and its mark never moves.
  if (GetParam() == Backend::File) EXPECT_NE(after, before);
  else EXPECT_EQ(after, before);
  EXPECT_EQ(count("tw_others"), 1);
  // This session's own writes count in its write count instead.
  const std::uint64_t writes = c().writeCount();
  c().noteWrite();
  EXPECT_EQ(c().writeCount(), writes + 1);
  EXPECT_EQ(c().othersCommitMark(), after);
}

INSTANTIATE_TEST_SUITE_P(Backends, StorageOn, testing::kBothBackends, testing::backendName);

}  // namespace
}  // namespace tarnwick::engine
