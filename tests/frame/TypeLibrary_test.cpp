#include <tarnwick/api/APIWrapper.h>
#include <tarnwick/automation/Object.h>
#include <tarnwick/customize/Customize.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/TypeLibrary.h>
#include <tarnwick/ocx/OcxWrapper.h>

#include <gtest/gtest.h>

#include <set>

namespace tarnwick::frame {
namespace {

TEST(TypeLibrary, IdentitiesAndRoutinesOfTheFourClasses) {
  const TypeLibrary& lib = typeLibrary();
  EXPECT_EQ(lib.name, u"Tarnwick");
  EXPECT_EQ(lib.helpString, u"Sql, OCX and DAO Wrappers.");
  EXPECT_EQ(toString(lib.libraryId), "{BE34CB7D-7557-11D2-8E42-0008C7EA3DBB}");
  EXPECT_EQ(lib.lcid, 0x0409u);
  ASSERT_EQ(lib.classes.size(), 4u);
  EXPECT_EQ(lib.routineCount(), 53u);
  const struct {
    const char16_t* name;
    const char* clsid;
    const char* iid;
    std::size_t routines;
  } expected[] = {
      {u"DataAccessWrapper", "{BE34CB76-7557-11D2-8E42-0008C7EA3DBB}", "{BE34CB75-7557-11D2-8E42-0008C7EA3DBB}", 14},
      {u"OcxWrapper", "{BE34CB78-7557-11D2-8E42-0008C7EA3DBB}", "{BE34CB77-7557-11D2-8E42-0008C7EA3DBB}", 27},
      {u"Customize", "{BE34CB7A-7557-11D2-8E42-0008C7EA3DBB}", "{BE34CB79-7557-11D2-8E42-0008C7EA3DBB}", 6},
      {u"APIWrapper", "{BE34CB7C-7557-11D2-8E42-0008C7EA3DBB}", "{BE34CB7B-7557-11D2-8E42-0008C7EA3DBB}", 6},
  };
  for (const auto& e : expected) {
    const ClassInfo* c = lib.findClass(e.name);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(toString(c->clsid), e.clsid);
    EXPECT_EQ(toString(c->interface.iid), e.iid);
    EXPECT_EQ(c->interface.name, u"_" + c->name);
    EXPECT_EQ(c->progId, u"Tarnwick." + c->name);
    ASSERT_EQ(c->interface.routines.size(), e.routines);
    std::set<DISPID> ids;
    for (std::size_t i = 0; i < c->interface.routines.size(); ++i) {
      const RoutineInfo& r = c->interface.routines[i];
      EXPECT_EQ(r.slot, static_cast<int>(i + 1));
      EXPECT_TRUE(ids.insert(r.id).second) << "dispatch id used twice";
      for (std::size_t p = 0; p + 1 < r.params.size(); ++p)
        EXPECT_NE(r.params[p].type, ParamType::VarArgs) << "a variable list stands last";
    }
  }
  // Spot checks against the published tables.
  const RoutineInfo* showResult = lib.findClass(u"OcxWrapper")->interface.find(u"showresultingrid_s");
  ASSERT_NE(showResult, nullptr);
  EXPECT_EQ(showResult->id, 0x60030006);
  EXPECT_EQ(showResult->params.size(), 7u);
  EXPECT_TRUE(showResult->params[6].optional);
  EXPECT_EQ(showResult->requiredCount(), 6u);
  const RoutineInfo* save = lib.findClass(u"DataAccessWrapper")->interface.find(u"SaveRecordFromControlArray_b");
  ASSERT_NE(save, nullptr);
  EXPECT_EQ(save->id, 0x6003000B);
  EXPECT_TRUE(save->hasVarArgs());
  EXPECT_EQ(save->result, ResultType::Flag);
  EXPECT_EQ(lib.findClass(u"APIWrapper")->interface.find(u"GetSystemDir")->params.size(), 0u);
}

// A value of the parameter's type, so that every routine can be reached.
Variant sampleArgument(ParamType type, IDispatch* object) {
  switch (type) {
    case ParamType::String: return Variant(u"text");
    case ParamType::Int16: return Variant(std::int16_t{1});
    case ParamType::Int32: return Variant(1);
    case ParamType::Flag: return Variant(false);
    case ParamType::Object: return Variant(object);
    default: return Variant();
  }
}

// The text of the error that binding a class's rows raises ("" when they bind).
std::string bindingErrorOf(const ClassInfo& info, std::span<const RoutineBinding> rows) {
  try {
    bindRoutines(info, rows);
    return {};
  } catch (const Error& e) {
    return toUtf8(e.description());
  }
}

TEST(LibraryClasses, EachClassBindsOneBodyToEachOfItsRoutines) {
  EXPECT_EQ(bindingErrorOf(dataaccess::DataAccessWrapper::classInfo(), dataaccess::DataAccessWrapper::bindings()), "");
  EXPECT_EQ(bindingErrorOf(ocx::OcxWrapper::classInfo(), ocx::OcxWrapper::bindings()), "");
  EXPECT_EQ(bindingErrorOf(customize::Customize::classInfo(), customize::Customize::bindings()), "");
  EXPECT_EQ(bindingErrorOf(api::APIWrapper::classInfo(), api::APIWrapper::bindings()), "");
}

std::span<const RoutineBody> bodiesOf(std::u16string_view className) {
  if (className == u"DataAccessWrapper") return dataaccess::DataAccessWrapper::bodies();
  if (className == u"OcxWrapper") return ocx::OcxWrapper::bodies();
  if (className == u"Customize") return customize::Customize::bodies();
  return api::APIWrapper::bodies();
}

TEST(LibraryClasses, EveryRoutineIsReachableByNameAndSaysWhenItIsNotBuilt) {
  const std::vector<CatalogueEntry> served = libraryClasses();
  EXPECT_EQ(served.size(), 4u);
  for (const ClassInfo& c : typeLibrary().classes) {
    const CatalogueEntry* entry = findLibraryClass(c.clsid);
    ASSERT_NE(entry, nullptr);
    ComPtr<IDispatch> instance;
    ASSERT_EQ(entry->create(IID_IDispatch, instance.putVoid()), S_OK);
    Object object(instance);
    EXPECT_EQ(object.typeName(), c.name);
    EXPECT_TRUE(object.supports(c.interface.iid));
    const std::span<const RoutineBody> bodies = bodiesOf(c.name);
    for (const RoutineInfo& r : c.interface.routines) {
      // Routines that are built are exercised by their own tests.
      if (bodies[static_cast<std::size_t>(r.slot - 1)]) continue;
      std::vector<Variant> args;
      for (std::size_t p = 0; p < r.requiredCount(); ++p) args.push_back(sampleArgument(r.params[p].type, instance.get()));
      try {
        object.invoke(object.idOf(r.name), DISPATCH_METHOD, args, nullptr);
        ADD_FAILURE() << toUtf8(r.name) << " answered without a body";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::ActionNotSupported) << toUtf8(r.name);
        EXPECT_EQ(e.description(), r.name + u" is not implemented yet");
      }
    }
  }
}

TEST(LibraryClasses, EarlyBoundFunctionsStandInSlotOrder) {
  // Each function of the table runs the routine of its slot: the error
  // names the routine that ran.
  ComPtr<_APIWrapper> api = makeObject<api::APIWrapper>().as<_APIWrapper>();
  // AppActivateClass (slot 1) answers with an empty variant.
  BSTR className = SysAllocString(u"SomeClass");
  Variant activated;  // an out-parameter: the callee overwrites it without freeing
  EXPECT_EQ(api->AppActivateClass(&className, &activated), S_OK);
  EXPECT_TRUE(activated.isEmpty());
  SysFreeString(className);
  IDispatch* grid = api.as<IDispatch>().get();
  ComPtr<_OcxWrapper> ocx = makeObject<ocx::OcxWrapper>().as<_OcxWrapper>();
  std::int16_t lbound = 0;
  // SizeGridFromPanels (slot 27) drives the grid it is given: an object
  // without a grid's members fails at the first one it sets.
  EXPECT_TRUE(failed(ocx->SizeGridFromPanels(&grid, &grid, &lbound)));
  EXPECT_EQ(takeErrorInfo()->description(), standardDescription(errc::MemberNotSupported));
}

}  // namespace
}  // namespace tarnwick::frame
