// Routines of the four classes on generated forms of the headless host:
// each reports its cost per call and, next to it, the cost of the member
// calls by name that the routine makes, so the share spent in dispatch and
// host members shows. The INI routines are set against parsing their file once.
#include "SqliteFixture.h"

#include <tarnwick/automation/Convert.h>
#include <tarnwick/customize/Customize.h>
#include <tarnwick/dataaccess/DataAccessWrapper.h>
#include <tarnwick/frame/ClassCatalogue.h>
#include <tarnwick/frame/Profile.h>
#include <tarnwick/host/Form.h>
#include <tarnwick/host/MessageBox.h>
#include <tarnwick/host/Services.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace {

using namespace tarnwick;
using namespace tarnwick::bench;

const ScratchFolder kScratch("tarnwick-classes-bench");

template <typename T>
Object instanceOf() {
  ComPtr<IDispatch> object;
  check(frame::createAndQuery<T>(IID_IDispatch, object.putVoid()));
  return Object(object);
}

Object dispatchOf(host::Form& form) { return Object(static_cast<IDispatch*>(&form)); }
Object dispatchOf(host::Control& control) { return Object(static_cast<IDispatch*>(&control)); }

// A search form: 100 control arrays of 10 text boxes with search directives.
ComPtr<host::Form> searchForm() {
  ComPtr<host::Form> form = host::Form::create(u"frmSearch");
  for (int a = 0; a < 100; ++a)
    for (std::int16_t i = 0; i < 10; ++i) {
      const std::u16string name = u"txtA" + toText(Variant(a));
      host::Control& c = form->add(host::ControlKind::TextBox, name, i);
      dispatchOf(c).put(u"Tag", Variant(i % 2 ? u"S=T([A])!Number;" : u"S=T([C])"));
      c.setText(i % 2 ? u">=5" : u"name1*");
    }
  return form;
}

void BM_GetWhereClauseFromTags(benchmark::State& state) {
  ComPtr<host::Form> form = searchForm();
  const Object f = dispatchOf(*form.get());
  std::vector<Variant> arrays;
  for (int a = 0; a < 100; ++a) arrays.push_back(f.get(u"txtA" + toText(Variant(a))));
  SafeArray list(VT_VARIANT, 0, 100);
  for (std::int32_t a = 0; a < 100; ++a) list.put({a}, arrays[static_cast<std::size_t>(a)]);
  const Variant all = std::move(list).toVariant();
  Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  for (auto _ : state) benchmark::DoNotOptimize(dataAccess.call(u"GetWhereClauseFromTags_s", all, true, true));
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_GetWhereClauseFromTags)->Unit(benchmark::kMillisecond);

// The member calls by name that the routine makes for each control (the
// element, its type name, Text twice and Tag), without building anything.
void BM_GetWhereClauseMemberCallsOnly(benchmark::State& state) {
  ComPtr<host::Form> form = searchForm();
  const Object f = dispatchOf(*form.get());
  std::vector<Object> arrays;
  for (int a = 0; a < 100; ++a) arrays.emplace_back(f.get(u"txtA" + toText(Variant(a))));
  for (auto _ : state) {
    for (const Object& array : arrays) {
      const std::int32_t upper = toInt32(array.get(u"UBound"));
      for (std::int32_t j = 0; j <= upper; ++j) {
        const Object c(array.get(u"Item", {Variant(j)}));
        benchmark::DoNotOptimize(c.typeName());
        benchmark::DoNotOptimize(c.get(u"Text"));
        benchmark::DoNotOptimize(c.get(u"Tag"));
        benchmark::DoNotOptimize(c.get(u"Text"));
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(BM_GetWhereClauseMemberCallsOnly)->Unit(benchmark::kMillisecond);

// A record form: 200 text boxes bound to the six fields of table T.
struct RecordForm {
  ComPtr<host::Form> form = host::Form::create(u"frmRecord");
  Object db;
  Object table;
  RecordForm() {
    const auto file = kScratch.path() / "record.db";
    if (!std::filesystem::exists(file)) {
      Object made(engineObject().call(u"CreateDatabase", fromUtf8(file.string())));
      made.call(u"Execute", u"CREATE TABLE T" + std::u16string(kSampleFields));
      made.call(u"Close");
      fillSampleTable(file, "T", 10);
    }
    db = Object(engineObject().call(u"OpenDatabase", fromUtf8(file.string())));
    table = Object(db.call(u"OpenRecordset", u"T", 1));
    table.call(u"MoveFirst");
    const char16_t* fields[] = {u"C", u"A", u"B", u"C", u"D", u"E"};
    for (int i = 0; i < 200; ++i) {
      host::Control& c = form->add(host::ControlKind::TextBox, u"txtF" + toText(Variant(i)));
      const bool number = i % 6 == 1 || i % 6 == 2;
      dispatchOf(c).put(u"Tag", Variant(u"T([" + std::u16string(fields[i % 6]) + u"])" + (number ? u"!Number" : u"")));
    }
  }
};

void BM_ReadFromRecordToControls(benchmark::State& state) {
  RecordForm r;
  Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  for (auto _ : state) dataAccess.call(u"ReadFromRecordToControls", dispatchOf(*r.form.get()).get(), r.table.get());
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_ReadFromRecordToControls)->Unit(benchmark::kMillisecond);

void BM_SaveRecordFromControls(benchmark::State& state) {
  RecordForm r;
  Object dataAccess = instanceOf<dataaccess::DataAccessWrapper>();
  dataAccess.call(u"ReadFromRecordToControls", dispatchOf(*r.form.get()).get(), r.table.get());
  const auto box = std::make_shared<host::ScriptedMessageBox>();
  host::setMessageBox(box);
  for (auto _ : state) {
    r.table.call(u"Edit");
    dataAccess.call(u"SaveRecordFromControls", dispatchOf(*r.form.get()).get(), r.table.get());
  }
  // Every save must succeed: a refused one shows a message.
  if (!box->prompts().empty()) state.SkipWithError(toUtf8(box->prompts().front().prompt).c_str());
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_SaveRecordFromControls)->Unit(benchmark::kMillisecond);

// The member calls by name that reading a record into the form makes: the
// controls, each one's interface test, Tag, the field's value and Text.
void BM_RecordFormMemberCallsOnly(benchmark::State& state) {
  RecordForm r;
  const Object f = dispatchOf(*r.form.get());
  for (auto _ : state) {
    const Object controls(f.get(u"Controls"));
    const std::int32_t count = toInt32(controls.get(u"Count"));
    for (std::int32_t i = 0; i < count; ++i) {
      const Object c(controls.get(u"Item", {Variant(i)}));
      benchmark::DoNotOptimize(c.supports(IID_IDispatch));
      benchmark::DoNotOptimize(c.get(u"Tag"));
      benchmark::DoNotOptimize(r.table.get(u"Name"));
      c.put(u"Text", Variant(u"x"));
    }
  }
  state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_RecordFormMemberCallsOnly)->Unit(benchmark::kMillisecond);

// A form of 2,000 captioned controls with tool tips, and files of 2,000 entries.
struct CaptionForm {
  ComPtr<host::Form> form = host::Form::create(u"frmWide");
  CaptionForm() {
    ::setenv("TARNWICK_WINDOWS_DIR", kScratch.path().c_str(), 1);
    for (int i = 0; i < 2000; ++i) {
      host::Control& c = form->add(host::ControlKind::CommandButton, u"cmd" + toText(Variant(i)));
      const Object d = dispatchOf(c);
      d.put(u"Caption", Variant(u"Caption " + toText(Variant(i))));
      d.put(u"ToolTipText", Variant(u"Tip " + toText(Variant(i))));
    }
    const Object custom = instanceOf<customize::Customize>();
    const Object controls(dispatchOf(*form.get()).get(u"Controls"));
    custom.call(u"GenerateIniCaptions", controls.get(), u"frmWide");
    custom.call(u"GenerateIniTips", controls.get(), u"frmWide");
    frame::iniWrite(u"frmWide", u"CustomCaption", u"True", u"Captions.ini");
    frame::iniWrite(u"frmWide", u"CustomTip", u"True", u"IniTips.ini");
    for (int i = 0; i < 2000; ++i)
      frame::iniWrite(u"frmWide", u"Caption " + toText(Variant(i)), u"New " + toText(Variant(i)), u"Captions.ini");
  }
};

void BM_GetIniCaptions(benchmark::State& state) {
  CaptionForm c;
  const Object custom = instanceOf<customize::Customize>();
  const Object controls(dispatchOf(*c.form.get()).get(u"Controls"));
  for (auto _ : state) custom.call(u"GetIniCaptions", controls.get(), u"frmWide");
}
BENCHMARK(BM_GetIniCaptions)->Unit(benchmark::kMillisecond);

void BM_GetIniTips(benchmark::State& state) {
  CaptionForm c;
  const Object custom = instanceOf<customize::Customize>();
  const Object controls(dispatchOf(*c.form.get()).get(u"Controls"));
  for (auto _ : state) custom.call(u"GetIniTips", controls.get(), u"frmWide");
}
BENCHMARK(BM_GetIniTips)->Unit(benchmark::kMillisecond);

// The baseline: the captions file parsed once (its time stamp is renewed so
// that the parsed copy cannot serve the read).
void BM_ParseCaptionsFileOnce(benchmark::State& state) {
  CaptionForm c;
  const auto file = kScratch.path() / "Captions.ini";
  struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_NOW}};
  long tick = 0;
  for (auto _ : state) {
    times[1] = {1000000 + ++tick, 0};  // a new modification time each round
    ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    benchmark::DoNotOptimize(frame::iniRead(u"frmWide", u"CustomCaption", u"Captions.ini"));
  }
}
BENCHMARK(BM_ParseCaptionsFileOnce)->Unit(benchmark::kMillisecond);

}  // namespace
