#pragma once
// Private to the engine: expressions of the dialect written as a backend's
// SQL, token by token: names resolved to columns, literals in the backend's
// form, the dialect's functions and operators by the backend's, asking the
// backend's dialect (Dialect.h) wherever backends differ.
#include "Connection.h"
#include "EngineTypes.h"
#include "SqlLexer.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick::engine {

struct ColumnRef {
  std::string sql;  // the column as the storage's SQL names it
  FieldType type = FieldType::Text;
};

// Resolves a field reference ("" as qualifier when there is none).
using Resolver = std::function<std::optional<ColumnRef>(std::u16string_view qualifier, std::u16string_view name)>;

class Dialect;

class ExpressionWriter {
 public:
  // `whole` is the text the tokens were cut from; syntax errors name it.
  ExpressionWriter(const std::vector<Token>& tokens, std::u16string_view whole, const Resolver& resolve,
                   const Dialect& dialect)
      : t_(tokens), whole_(whole), resolve_(resolve), dialect_(dialect) {}

  // With `parameters`, the expression's texts, numbers and dates are written
  // as parameters (?) and their values collected in order, so that
  // expressions that differ only in their values make the same statement.
  // `sources`, when given, receives the index of the token each came from,
  // with kPatternSource added for a Like pattern that the backend reads as
  // the dialect's pattern of the token's text (Dialect::likePattern).
  static constexpr std::size_t kPatternSource = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
  void collectParameters(std::vector<RawValue>* parameters, std::vector<std::size_t>* sources = nullptr) noexcept {
    parameters_ = parameters;
    sources_ = sources;
  }

  // How "*" and "T.*" items of a select list are written out (given the
  // qualifier, empty for "*"); without it they stay as they are (see
  // Dialect::expandsStars).
  void expandStars(std::function<std::string(std::u16string_view)> star) { star_ = std::move(star); }

  // The expression from token `at` up to token `end` (not included), which
  // the caller found by `expressionEnd`. Errors: 3075 at the token at fault,
  // 3464 for a text compared with a number field, 3085 for a function the
  // dialect does not have.
  std::string expression(std::size_t& at, std::size_t end);
  // The places, counting from 0, of the items of a select list (its tokens
  // from `at` to `end`) that are the least or greatest value of a date
  // field: dates, though a storage that keeps dates as numbers cannot say
  // so. Empty when a "*" makes the places of items unknown.
  std::vector<int> dateExtremes(std::size_t at, std::size_t end) const;
  // The types of the fields that an INSERT's VALUES fill, in order: where
  // yes/no fields are truths, a number given for one is written as the
  // truth it stands for.
  void fill(std::vector<FieldType> types) { filled_ = std::move(types); }
  // What the statement still needs after its last part (a grouping that
  // stands for DISTINCT, Dialect::groupsDistinct).
  std::string finish() { return std::exchange(groups_, {}); }

 private:
  // What expression() keeps while it writes (SqlExpression.cpp).
  struct State;
  // The token at `at`, ending with `at` after what it wrote. punctuation:
  // a punctuation mark, comparison one that compares; like: Like, with
  // its pattern; writeToken any other, false when it wrote the token
  // wholly, leaving nothing for endToken to settle: literal a text,
  // number, date or truth, keyword a keyword, call a function's name (or
  // its whole call), field a field reference, column a resolved one.
  void punctuation(State& s, std::size_t& at);
  void comparison(State& s, std::size_t& at);
  bool yesNoValue(State& s, std::size_t& at);
  void like(State& s, std::size_t& at);
  std::string likePattern(std::size_t& at, std::size_t end);
  void beginToken(State& s, std::size_t at) const;
  bool writeToken(State& s, std::size_t& at);
  void literal(State& s, std::size_t& at);
  bool keyword(State& s, std::size_t& at);
  void call(State& s, std::size_t& at);
  bool field(State& s, std::size_t& at);
  void column(State& s, const ColumnRef& column, std::size_t at);
  void endToken(State& s, std::size_t at);
  // Closes an ORDER BY item, where the dialect writes where Nulls go.
  void closeItem(State& s, bool descending) const;
  // Where the text field just before token `op` starts in the SQL, when it
  // stands alone as the left side of a comparison of texts by their keys.
  std::size_t textFieldBefore(const State& s, std::size_t op) const;
  // The operand from `at` to the end of `out` compared by its text key.
  void keyText(std::string& out, std::size_t at) const;

  std::string functionName(const Token& tok);
  // The field that a reference from token `at` names, and the token after
  // it; nothing when the tokens there are no field of the resolver's.
  std::optional<ColumnRef> fieldAt(std::size_t at, std::size_t& next) const;
  // Whether the tokens from `at` are one text (a literal or a text field;
  // a field only, with `fieldOnly`), or one date (a literal or a date
  // field), standing alone as an operand. singleText gives the token after
  // it, 0 when there is none.
  std::size_t singleText(std::size_t at, bool fieldOnly = false) const;
  bool singleDate(std::size_t at) const;
  // The texts a text on the left meets at BETWEEN or IN (the token after
  // it at `at`), each standing alone: 2 for a range, the items of a list;
  // 0 when any is something else.
  int textsMet(std::size_t at) const;
  // The operands of BETWEEN or IN (the token after a field at `at`): 2 for
  // a range, the items of a list, 0 for a subquery or no such word.
  int operandsMet(std::size_t at) const;
  // After the DISTINCT of a statement's select list at `at`, up to `end`:
  // when the list is fields alone in a statement of one selection without
  // a grouping of its own, the grouping that gives the same rows.
  std::string distinctGroups(std::size_t at, std::size_t end) const;
  // A call at token `at` as the dialect needs it written: the function's
  // name and what goes before its closing parenthesis (empty when the
  // function table names it), or, when `tokens` is not 0, the whole call
  // of that many tokens worked out while writing.
  struct Call {
    std::string sql;
    std::string lastArgument;
    std::size_t tokens = 0;
    bool date = false;
  };
  Call callAt(std::size_t at) const;
  // The literal at token `token` collected as a parameter: its place in the SQL.
  std::string parameter(RawValue value, std::size_t token);

  const std::vector<Token>& t_;
  std::u16string_view whole_;
  const Resolver& resolve_;
  const Dialect& dialect_;
  // DISTINCT seen: a selection of distinct rows may be ordered by its own
  // columns only. UNION seen: its order names the selection's columns.
  bool distinct_ = false;
  bool union_ = false;
  // A selection of distinct fields written as a grouping by them (texts
  // grouped as a file groups them): the GROUP BY still to be written,
  // before its ORDER BY or at the end of the statement.
  std::string groups_;
  std::vector<FieldType> filled_;
  bool lastWasOperand_ = false;
  std::vector<RawValue>* parameters_ = nullptr;
  std::vector<std::size_t>* sources_ = nullptr;
  std::function<std::string(std::u16string_view)> star_;
};

// The value a literal token stands for as a parameter: a text as it is, a
// number as the storage reads it, a date between # as its serial. Nothing
// for a number the storage would refuse (it stays in the SQL text) or a
// date that does not read (a syntax error).
std::optional<RawValue> literalParameter(const Token& tok);

// An operator that makes one operand of the ones on either side (+ - * /
// & \\ ^ Mod), and True or False.
bool joinsOperands(const Token& t);
bool isTruthLiteral(const Token& t);

// Where an expression starting at token `at` ends: the first token at
// nesting depth 0 that `stop` accepts, or the end of the tokens. Unbalanced
// parentheses run it to the end, where the writer finds them.
std::size_t expressionEnd(const std::vector<Token>& tokens, std::size_t at,
                          const std::function<bool(const Token&)>& stop);

}  // namespace tarnwick::engine
