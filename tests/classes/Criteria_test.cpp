#include "../../src/dataaccess/Criteria.h"

#include "../automation/ErrorOf.h"

#include <tarnwick/automation/Locale.h>

#include <gtest/gtest.h>

namespace tarnwick::dataaccess {
namespace {

using tarnwick::testing::errorOf;

TEST(Criteria, TheWorkedExamplesInBothSyntaxes) {
  LocaleScope en(Locale::enUS());
  const auto sql = [](CriterionKind k, const char16_t* f, const char16_t* v) {
    return searchCriterion(k, Syntax::Sql, u"Orders", f, v);
  };
  const auto formula = [](CriterionKind k, const char16_t* f, const char16_t* v) {
    return searchCriterion(k, Syntax::Formula, u"Orders", f, v);
  };
  using K = CriterionKind;
  EXPECT_EQ(sql(K::Text, u"[Customer]", u"Sm*"), u"Orders.[Customer] Like 'Sm*'");
  EXPECT_EQ(formula(K::Text, u"[Customer]", u"Sm*"), u"'Sm*' IN {Orders.[Customer]}");
  EXPECT_EQ(sql(K::Text, u"[Customer]", u">=M"), u"Orders.[Customer]>='M'");
  EXPECT_EQ(formula(K::Text, u"[Customer]", u">=M"), u"{Orders.[Customer]}>='M'");
  EXPECT_EQ(sql(K::Number, u"[Qty]", u"5"), u"Orders.[Qty]=5");
  EXPECT_EQ(formula(K::Number, u"[Qty]", u"5"), u"{Orders.[Qty]}=5");
  EXPECT_EQ(sql(K::Number, u"[Qty]", u"<>5"), u"Orders.[Qty]<>5");
  EXPECT_EQ(formula(K::Number, u"[Qty]", u"<>5"), u"{Orders.[Qty]}<>5");
  EXPECT_EQ(sql(K::Date, u"[OrderDate]", u"1/2/98"), u"Orders.[OrderDate] = DateValue('1/2/98')");
  EXPECT_EQ(formula(K::Date, u"[OrderDate]", u"1/2/98"), u"{Orders.[OrderDate]} = DateValue('1/2/98')");
  EXPECT_EQ(sql(K::Date, u"[OrderDate]", u">1/2/98"), u"Orders.[OrderDate]>DateValue('1/2/98')");
  EXPECT_EQ(formula(K::Date, u"[OrderDate]", u">1/2/98"), u"{Orders.[OrderDate]}>DateValue('1/2/98')");
  EXPECT_EQ(sql(K::Number, u"[Qty]", u"=5"), u"Orders.[Qty]=5");
  EXPECT_EQ(sql(K::Number, u"[Qty]", u"==5"), u"Orders.[Qty]==5");
  EXPECT_EQ(sql(K::Text, u"[Customer]", u"<"), u"Orders.[Customer]<''");
  EXPECT_EQ(sql(K::Text, u"[Paid]", u"0"), u"Orders.[Paid] Like '0'");
  EXPECT_EQ(sql(K::Number, u"[Paid]", u"-1"), u"Orders.[Paid]=-1");
}

TEST(Criteria, TypedTextNeverBecomesSyntax) {
  LocaleScope en(Locale::enUS());
  EXPECT_EQ(searchCriterion(CriterionKind::Text, Syntax::Sql, u"C", u"[Name]", u"O'Brien"), u"C.[Name] Like 'O''Brien'");
  EXPECT_EQ(searchCriterion(CriterionKind::Text, Syntax::Formula, u"C", u"[Name]", u"<O'B"), u"{C.[Name]}<'O''B'");
  EXPECT_EQ(errorOf([] { searchCriterion(CriterionKind::Number, Syntax::Sql, u"O", u"[Qty]", u"5 or 1=1"); }),
            errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { searchCriterion(CriterionKind::Number, Syntax::Sql, u"O", u"[Qty]", u">"); }),
            errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { searchCriterion(CriterionKind::Date, Syntax::Sql, u"O", u"[D]", u"1/2/98') or ('1"); }),
            errc::TypeMismatch);
  EXPECT_EQ(errorOf([] { rangeCriterion(Syntax::Sql, u"[D]", u"yesterday", u""); }), errc::TypeMismatch);
  // Numbers in the statement's own form, whatever the locale.
  LocaleScope de(Locale::deDE());
  EXPECT_EQ(searchCriterion(CriterionKind::Number, Syntax::Sql, u"O", u"[Price]", u">=5,5"), u"O.[Price]>=5.5");
  EXPECT_EQ(searchCriterion(CriterionKind::Number, Syntax::Sql, u"O", u"[Price]", u"1.000"), u"O.[Price]=1000");
  EXPECT_EQ(searchCriterion(CriterionKind::Number, Syntax::Sql, u"O", u"[Price]", u"0,5"), u"O.[Price]=0.5");
}

TEST(Criteria, RangesAndTheTableList) {
  LocaleScope en(Locale::enUS());
  EXPECT_EQ(rangeCriterion(Syntax::Sql, u"[OrderDate]", u"1/1/98", u"1/31/98"),
            u"[OrderDate] BETWEEN DateValue('1/1/98') AND DateValue('1/31/98')");
  EXPECT_EQ(rangeCriterion(Syntax::Formula, u"[OrderDate]", u"1/1/98", u"1/31/98"),
            u"{[OrderDate]} BETWEEN DateValue('1/1/98') AND DateValue('1/31/98')");
  EXPECT_EQ(rangeCriterion(Syntax::Sql, u"[OrderDate]", u"", u"1/31/98"), u"[OrderDate] < DateValue('1/31/98')");
  EXPECT_EQ(rangeCriterion(Syntax::Sql, u"[OrderDate]", u"1/1/98", u""), u"[OrderDate] > DateValue('1/1/98')");
  std::u16string list;
  addTable(list, u"Orders");
  addTable(list, u"Customers");
  addTable(list, u"Orders");
  addTable(list, u"Order");  // a piece of a name already there is still a table of its own
  addTable(list, u"Cust");
  EXPECT_EQ(list, u"Orders,Customers,Order,Cust");
}

}  // namespace
}  // namespace tarnwick::dataaccess
